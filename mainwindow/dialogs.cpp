// The slots that run the settings and tools dialogs.
#include "mainwindow.h"

#include "settingsdialog.h"
#include "toolsdialog.h"

#include <QDebug>
#include <QIcon>

MainWindow::SettingsAnswer MainWindow::runSettingsDialog()
{
    const QIcon icon(QStringLiteral(":/images/tools.png"));
    settingsdialog dialog(this, settings.baudRate, &icon, options->listsBaudRate());
    const int result = dialog.exec();
    // The choices count whichever way the dialog was closed.
    if (!dialog.storeChoices(&settings))
        return SettingsAnswer::NoPortOffered;
    return result == QDialog::Accepted ? SettingsAnswer::Accepted : SettingsAnswer::Rejected;
}

void MainWindow::onConfigure()
{
    switch (runSettingsDialog()) {
    case SettingsAnswer::Accepted:
        onConnect();
        break;
    case SettingsAnswer::NoPortOffered:
        // The previous settings stay, and there is nothing to connect to.
        qDebug("no serialport available, settings kept");
        break;
    case SettingsAnswer::Rejected:
        break;
    }
}

void MainWindow::onTools()
{
    ToolsSettings edited = settings.tools;
    toolsdialog dialog(this, &edited);
    const int result = dialog.exec();
    dialog.apply(&edited);
    if (result == QDialog::Accepted) {
        qDebug("write new settings");
        settings.tools = edited;
    }
    qDebug().nospace() << "toolsCRLF = " << (settings.tools.isCRLF ? "true" : "false");
}
