#include "breaksender.h"

#include "linetap.h"

#include <QAction>
#include <QDebug>
#include <QMainWindow>
#include <QSerialPort>
#include <QStatusBar>
#include <QTimer>

BreakSender::BreakSender(QMainWindow *mainWindow, LineTap *lineTap)
    : QObject(mainWindow)
    , window(mainWindow)
    , tap(lineTap)
    , breakAction(new QAction(tr("Send break"), this))
{
    connect(breakAction, SIGNAL(triggered()), this, SLOT(start()));
}

void BreakSender::start()
{
    if (!tap->isOpen()) {
        window->statusBar()->showMessage(tr("Not connected: no break sent"));
        return;
    }
    if (tap->isClaimed()) {
        window->statusBar()->showMessage(tr("No break sent: a file transfer holds the line"));
        return;
    }
    // The trace says that the menu's click got here, for tests that click blindly.
    qDebug("break on");
    tap->port()->setBreakEnabled(true);
    // One break at a time: a second would end the first early.
    breakAction->setEnabled(false);
    QTimer::singleShot(breakMs, this, SLOT(end()));
}

void BreakSender::end()
{
    // A port closed meanwhile dropped the break with it.
    if (tap->isOpen())
        tap->port()->setBreakEnabled(false);
    qDebug("break off");
    breakAction->setEnabled(true);
}
