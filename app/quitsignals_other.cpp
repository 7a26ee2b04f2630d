#include "quitsignals.h"

#include <QApplication>
#include <QDebug>
#include <QDialog>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int quitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The one thing a signal handler can reach: where it writes. Only this process's one
// QuitSignals object sets it. Atomic, so that a handler running while it changes reads either
// the old or the new descriptor, never a torn one; lock-free, so that reading it in a handler
// is safe at all.
std::atomic<int> wakeUpEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");

// Only write() is safe here; the event loop does the rest when it reads the number.
void handle(int number)
{
    const int savedErrno = errno;
    const char byte = char(number);
    const ssize_t written = write(wakeUpEnd, &byte, 1);
    Q_UNUSED(written)
    errno = savedErrno;
}

void setHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // The kernel restores the default as it calls the handler: the same signal again ends the
    // program at once even if the event loop never gets to the first.
    action.sa_flags = handler == SIG_DFL ? 0 : static_cast<int>(SA_RESETHAND | SA_RESTART);
    for (const int number : quitSignals)
        sigaction(number, &action, nullptr);
}

} // namespace

QuitSignals::QuitSignals(QObject *parent) : QObject(parent)
{
    int ends[2];
    if (pipe(ends) != 0) {
        qDebug("no pipe for the quit signals: they keep ending the program at once");
        return;
    }
    for (const int end : ends)
        fcntl(end, F_SETFD, FD_CLOEXEC);
    // A handler must never block, not even on a full pipe.
    fcntl(ends[1], F_SETFL, O_NONBLOCK);
    wakeUpEnd = ends[1];
    notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
    connect(notifier, SIGNAL(activated(int)), this, SLOT(closeWindows()));
    setHandler(handle);
}

QuitSignals::~QuitSignals()
{
    if (!notifier)
        return;
    setHandler(SIG_DFL);
    notifier->setEnabled(false);
    close(wakeUpEnd.exchange(-1));
    close(int(notifier->socket()));
}

void QuitSignals::closeWindows()
{
    unsigned char byte = 0;
    if (read(int(notifier->socket()), &byte, 1) != 1)
        return;
    notifier->setEnabled(false);
    setHandler(SIG_DFL);
    qDebug("signal %d: closing", int(byte));
    // Cancelled as the user cancels them, then the windows closed as through their close buttons;
    // the event loops end even where the code that ran a dialog goes on to run another.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        auto *dialog = qobject_cast<QDialog *>(window);
        if (dialog && dialog->isVisible())
            dialog->reject();
    }
    // Also a window not shown yet, whose start-up dialog this cancelled: so it learns that the
    // program ends before it has begun.
    for (QWidget *window : windows) {
        if (window->windowType() == Qt::Window && window->isHidden())
            window->close();
    }
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}
