#include "commandline.h"
#include "mainwindow.h"
#include "parentconsole.h"
#include "quitsignals.h"
#include "startup.h"

#include <QApplication>
#include <QDebug>
#include <QIcon>
#include <QTranslator>

namespace {

// Without a windowing system the GUI application cannot even be constructed; help and bad
// command lines are still answered as usual, and a good one gets a clear message instead of
// the toolkit's abort.
int runWithoutDisplay(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    CommandLineOptions scratch;
    const commandline::Outcome outcome = commandline::parse(application.arguments(), &scratch);
    if (outcome == commandline::Outcome::Run) {
        qDebug("korvix needs a display: neither DISPLAY nor WAYLAND_DISPLAY is set");
        return 1;
    }
    return commandline::exitCode(outcome);
}

} // namespace

int main(int argc, char *argv[])
{
    static CommandLineOptions options;
    startup::returnLargeBuffersToTheSystem();

    // On a HiDPI screen the window, its fonts and the toolbar images scale with the screen, while
    // geometry (and so the stored "pos" and "size") stays in device-independent pixels. Both take
    // effect only when set before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);

    if (!startup::displayReachable(argc, argv))
        return runWithoutDisplay(argc, argv);

    QApplication application(argc, argv);
    // Does something on Windows only, where the usage text would otherwise reach no console.
    attachParentConsole();
    options = CommandLineOptions();
    const commandline::Outcome outcome = commandline::parse(application.arguments(), &options);
    if (outcome != commandline::Outcome::Run)
        return commandline::exitCode(outcome);

    // Installed by address: both must live as long as the application.
    QTranslator qtTranslator;
    QTranslator myTranslator;
    startup::installTranslations(&qtTranslator, &myTranslator);

    // Before the window: a signal during the start-up dialog cancels it and closes the window,
    // which is then destroyed as usual (settings written) but never shown, and does not start
    // the log of --forceLog.
    QuitSignals quitSignals;
    MainWindow window(nullptr, &options);
    if (window.wasClosedBeforeShown())
        return 0;
    window.setWindowIcon(QIcon(QStringLiteral(":/images/tools.png")));
    window.show();
    return application.exec();
}
