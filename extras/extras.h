#pragma once

#include <QObject>

class Console;
class LineTap;
class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class QToolButton;
struct CommandLineOptions;
struct TerminalSettings;

// The one drop-down button that holds every feature beyond the basic terminal. Each is off until
// the user turns it on here (or, where it must be scriptable, on the command line), keeps its
// choice under settings keys of its own, and takes no key from the device: a user who never opens
// the menu gets the terminal as it always was.
class Extras : public QObject
{
    Q_OBJECT

public:
    // The button goes at the end of `toolBar` as it stands.
    Extras(QMainWindow *window, QToolBar *toolBar);

    // The pane, the line and the settings the extras work with, once the window has them.
    void start(Console *console, LineTap *tap, const TerminalSettings *settings,
               const CommandLineOptions *options);

private:
    QMainWindow *window;
    QToolBar *toolBar;
    QToolButton *button;
    QAction *buttonAction; // the button's place on the toolbar
    QMenu *menu;
};
