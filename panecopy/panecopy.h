#pragma once

#include <QObject>

class Console;
class QMenu;
class QWidget;

// The pane's text, as shown with everything the pane holds, to the clipboard or to a file; and a
// mode in which the mouse selects text to copy.
class PaneCopy : public QObject
{
    Q_OBJECT

public:
    // Dialogs and messages open over `dialogParent`.
    PaneCopy(Console *pane, QWidget *dialogParent, QObject *parent);

    // "Copy the pane", "Save the pane as text…" and the checkable "Select with the mouse". Every
    // run starts without the selection, which is not stored: it keeps Ctrl+Shift+C from the
    // device, and a key must not stop reaching the device by a choice made in an earlier run.
    void addActionsTo(QMenu *menu);

private slots:
    void copyPane();
    void savePane();
    void selectWithTheMouse(bool on);

private:
    // What the pane shows, timestamps and echoes included, with line feeds between its lines.
    QString paneText() const;

    Console *console;
    QWidget *window;
};
