#include "panecopy.h"

#include "console.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>

PaneCopy::PaneCopy(Console *pane, QWidget *dialogParent, QObject *parent)
    : QObject(parent), console(pane), window(dialogParent)
{}

void PaneCopy::addActionsTo(QMenu *menu)
{
    menu->addAction(tr("Copy the pane"), this, SLOT(copyPane()));
    menu->addAction(tr("Save the pane as text…"), this, SLOT(savePane()));
    QAction *select = menu->addAction(tr("Select with the mouse"));
    select->setCheckable(true);
    select->setToolTip(tr("The mouse selects text, and Ctrl+Shift+C copies it instead of "
                          "sending it to the device"));
    connect(select, SIGNAL(toggled(bool)), this, SLOT(selectWithTheMouse(bool)));
}

QString PaneCopy::paneText() const
{
    // The document's plain text turns line and paragraph separators into line feeds.
    return console->toPlainText();
}

void PaneCopy::copyPane()
{
    QGuiApplication::clipboard()->setText(paneText());
}

void PaneCopy::savePane()
{
    const QString fileName = QFileDialog::getSaveFileName(
        window, tr("Save the pane as text"), QDir::homePath() + QStringLiteral("/korvix-pane.txt"),
        tr("Text files (*.txt);;All files (*)"));
    if (fileName.isEmpty())
        return;
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly) && file.write(paneText().toUtf8()) >= 0 && file.commit())
        return;
    QMessageBox::warning(window, QStringLiteral("korvix"),
                         tr("The pane could not be saved to %1:\n%2")
                             .arg(QDir::toNativeSeparators(fileName), file.errorString()));
}

void PaneCopy::selectWithTheMouse(bool on)
{
    console->setMouseSelection(on);
}
