#pragma once

#include "commandlineoptions.h"
#include "modaldialogs.h"

#include <QByteArray>
#include <QString>

#include <memory>

class Console;
class MainWindow;
class QWidget;

namespace harness {

// The options of a command line that gives none.
const CommandLineOptions *noOptions();

// Starts the main window as a user does without filters: the start-up dialog opens and gets
// `answer` (Ok by default), and the window is shown.
std::unique_ptr<MainWindow>
startWithDialog(const CommandLineOptions *options = noOptions(),
                testsupport::ModalDialogScript::Answer answer = testsupport::accept);

// The same, and waits until the window shows the connection.
std::unique_ptr<MainWindow> connectedWindow(const CommandLineOptions *options = noOptions());

// The connection as the user sees it.
bool looksConnected(QWidget *window);
bool looksDisconnected(QWidget *window);
Console *console(QWidget *window);
bool consoleLooks(QWidget *window, Qt::GlobalColor base, Qt::GlobalColor text);
void trigger(QWidget *window, const QString &actionText);
// An entry of the Extras button's menu, as a user picks it.
void triggerExtra(QWidget *window, const QString &actionText);

// Runs a private slot of the window, as a timer or signal would.
void invoke(QWidget *window, const char *slot);

} // namespace harness
