#include "harness.h"

#include "console.h"
#include "mainwindow.h"
#include "windowprobe.h"

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QToolButton>

namespace harness {

const CommandLineOptions *noOptions()
{
    static const CommandLineOptions none;
    return &none;
}

std::unique_ptr<MainWindow> startWithDialog(const CommandLineOptions *options,
                                            testsupport::ModalDialogScript::Answer answer)
{
    testsupport::ModalDialogScript script({std::move(answer)});
    auto window = std::make_unique<MainWindow>(nullptr, options);
    window->show();
    return window;
}

std::unique_ptr<MainWindow> connectedWindow(const CommandLineOptions *options)
{
    auto window = startWithDialog(options);
    if (!QTest::qWaitFor([&] { return looksConnected(window.get()); }))
        QTest::qFail("the window did not connect", __FILE__, __LINE__);
    return window;
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
    return console(window)->isEnabled() &&
           testsupport::actionNamed(window, "&Disconnect")->isEnabled() &&
           !testsupport::actionNamed(window, "&Connect")->isEnabled() &&
           !testsupport::actionNamed(window, "Settings")->isEnabled();
}

bool looksDisconnected(QWidget *window)
{
    return !console(window)->isEnabled() &&
           !testsupport::actionNamed(window, "&Disconnect")->isEnabled() &&
           testsupport::actionNamed(window, "&Connect")->isEnabled() &&
           testsupport::actionNamed(window, "Settings")->isEnabled();
}

void trigger(QWidget *window, const QString &actionText)
{
    QAction *action = testsupport::actionNamed(window, actionText);
    if (!action)
        qFatal("no action %s", qPrintable(actionText));
    action->trigger();
}

void triggerExtra(QWidget *window, const QString &actionText)
{
    const QList<QAction *> entries =
        window->findChild<QToolButton *>("extrasButton")->menu()->actions();
    for (QAction *entry : entries) {
        if (entry->text() == actionText) {
            entry->trigger();
            return;
        }
    }
    qFatal("no Extras entry %s", qPrintable(actionText));
}

void invoke(QWidget *window, const char *slot)
{
    if (!QMetaObject::invokeMethod(window, slot, Qt::DirectConnection))
        qFatal("no slot %s", slot);
}

} // namespace harness
