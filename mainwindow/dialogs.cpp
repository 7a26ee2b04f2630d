// The slots that run the settings and tools dialogs.
#include "mainwindow.h"

#include "settingsdialog.h"
#include "toolsdialog.h"

#include <QDebug>
#include <QIcon>

void MainWindow::onConfigure()
{
    const QIcon icon(QStringLiteral(":/images/tools.png"));
    settingsdialog dialog(this, settings.baudRate, &icon, options->baudRate != 0);
    const int result = dialog.exec();
    // With no port listed the previous settings stay, and there is nothing to connect to.
    if (!dialog.storeChoices(&settings)) {
        qDebug("no serialport available, settings kept");
        return;
    }
    if (result == QDialog::Accepted)
        onConnect();
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
