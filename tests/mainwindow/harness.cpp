#include "harness.h"

#include "console.h"
#include "mainwindow.h"
#include "windowprobe.h"

#include <QAction>
#include <QTest>

#include <sys/resource.h>

namespace harness {

std::unique_ptr<MainWindow> startWithDialog(const CommandLineOptions *options,
                                            testsupport::ModalDialogScript::Answer answer)
{
    testsupport::ModalDialogScript script({std::move(answer)});
    auto window = std::make_unique<MainWindow>(nullptr, options);
    window->show();
    return window;
}

QAction *action(QWidget *window, const QString &text)
{
    QAction *found = testsupport::actionNamed(window, text);
    if (!found)
        qFatal("no action %s", qPrintable(text));
    return found;
}

Console *console(QWidget *window)
{
    return window->findChild<Console *>();
}

bool consoleLooks(QWidget *window, Qt::GlobalColor base, Qt::GlobalColor text)
{
    const QPalette palette = console(window)->palette();
    return palette.color(QPalette::Active, QPalette::Base) == QColor(base) &&
           palette.color(QPalette::Inactive, QPalette::Text) == QColor(text);
}

bool looksConnected(QWidget *window)
{
    return console(window)->isEnabled() && action(window, "&Disconnect")->isEnabled() &&
           !action(window, "&Connect")->isEnabled() && !action(window, "Settings")->isEnabled();
}

bool looksDisconnected(QWidget *window)
{
    return !console(window)->isEnabled() && !action(window, "&Disconnect")->isEnabled() &&
           action(window, "&Connect")->isEnabled() && action(window, "Settings")->isEnabled();
}

void trigger(QWidget *window, const QString &actionText)
{
    action(window, actionText)->trigger();
}

void invoke(QWidget *window, const char *slot)
{
    if (!QMetaObject::invokeMethod(window, slot, Qt::DirectConnection))
        qFatal("no slot %s", slot);
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace harness
