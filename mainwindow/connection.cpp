// Opening, closing and losing the serial port, and the modem-control lines.
#include "mainwindow.h"

#include "console.h"
#include "linetap.h"
#include "modemlines.h"
#include "porthangup.h"

#include <QAction>
#include <QDebug>
#include <QIcon>
#include <QMessageBox>
#include <QSerialPortInfo>
#include <QStatusBar>
#include <QTimer>

namespace {

const char *trueOrFalse(bool value)
{
    return value ? "true" : "false";
}

} // namespace

void MainWindow::onConnect()
{
    console->setLocalEchoEnabled(settings.localEchoEnabled);
    // Also when the open fails: every connect starts with an empty pane.
    console->clear();
    serial->setPortName(settings.portName);
    qDebug().nospace() << "brate = " << settings.baudRate;
    const bool baudRateOk = serial->setBaudRate(settings.baudRate, QSerialPort::AllDirections);
    serial->setDataBits(settings.dataBits);
    serial->setParity(settings.parity);
    serial->setStopBits(settings.stopBits);
    serial->setFlowControl(settings.flowControl);
    qDebug().noquote().nospace() << "onConnect() try to open " << serial->portName()
                                 << " brOk = " << trueOrFalse(baudRateOk);
    // From here on, losing the device starts a new search.
    reconnectPending = false;

    if (serial->open(QIODevice::ReadWrite)) {
        // The kernel raised both lines as the port opened; every request before they are where
        // they belong lengthens that pulse, which resets many boards.
        modemlines::set(serial, dtrState, rtsState);
        qDebug("onConnect() open");
        showLineStates();
        console->setEnabled(true);
        console->setLocalEchoEnabled(settings.localEchoEnabled);
        showConnectionState(true);
        setWindowTitle(QStringLiteral("korvix ") + settings.portName + QLatin1Char(' ') +
                       QString::number(settings.baudRate));
        statusBar()->showMessage(tr("Connected: localecho ") +
                                 QLatin1String(settings.localEchoEnabled ? "ON" : "OFF"));
        console->setLook(Console::Look::WhiteOnBlack);
        console->setFocus(Qt::OtherFocusReason);
        tap->noteOpened();
    } else {
        QMessageBox::critical(this, QStringLiteral("korvix"),
                              tr("onConnect: open serialport failed\nserialport reports: ") +
                                  serial->errorString() + QStringLiteral("\nBaudrate was ") +
                                  QString::number(settings.baudRate),
                              QMessageBox::Ok, QMessageBox::NoButton);
        statusBar()->showMessage(tr("Open Error on serial port"));
        setWindowTitle(QStringLiteral("korvix"));
    }
    qDebug().nospace() << "Serial isopen " << trueOrFalse(serial->isOpen());

    // Remember the identity of the device just tried, to find it again after an unplug.
    wanted.remember(QSerialPortInfo(*serial));
}

void MainWindow::onDisconnect()
{
    qDebug("onDisconnect()");
    showConnectionState(false);
    if (!serial->isOpen())
        qDebug("how could this happen?");
    // The remembered states stay, so that the next connect restores the lines as they were. Both
    // fall together, as they were set at the connect.
    modemlines::set(serial, false, false);
    showLineStatesUnknown();
    serial->close();
    tap->noteClosed(false);
    console->setEnabled(false);
    statusBar()->showMessage(tr("Disconnected"));
    setWindowTitle(QStringLiteral("korvix"));
    console->setLook(Console::Look::BlackOnWhite);
}

void MainWindow::handleError(QSerialPort::SerialPortError error)
{
    qDebug("##################### serial error %d", int(error));
    qDebug().noquote() << QStringLiteral("string: ") + serial->errorString();

    const bool hungUp = error == QSerialPort::ReadError && porthangup::hungUp(*serial);
    if (hungUp)
        qDebug("handleError() the device hung up: treated as a lost device");
    else if (error != QSerialPort::ResourceError && error != QSerialPort::PermissionError) {
        qDebug("serialport error ignored");
        return;
    }

    qDebug("handleError() resourceerror fired");
    console->setEnabled(false);
    // Closing also stops the read notifier that would otherwise repeat the error endlessly.
    serial->close();
    tap->noteClosed(true);
    showConnectionState(false);
    if (!reconnectPending) {
        reconnectPending = true;
        QTimer::singleShot(lostDeviceDelayMs, this, SLOT(onTryToReconnect()));
    }
}

void MainWindow::onToggleDTR()
{
    qDebug("onToggleDTR() called");
    toggleLine(&dtrState, &QSerialPort::setDataTerminalReady, dtrAction);
}

void MainWindow::onToggleRTS()
{
    qDebug("onToggleRTS() called");
    toggleLine(&rtsState, &QSerialPort::setRequestToSend, rtsAction);
}

// A closed port keeps both the remembered state and the lamp as they are.
void MainWindow::toggleLine(bool *state, bool (QSerialPort::*setLine)(bool), QAction *lamp)
{
    if (!serial->isOpen())
        return;
    *state = !*state;
    (serial->*setLine)(*state);
    lamp->setIcon(*state ? lampAsserted : lampNegated);
}

void MainWindow::showLineStates()
{
    dtrAction->setIcon(dtrState ? lampAsserted : lampNegated);
    rtsAction->setIcon(rtsState ? lampAsserted : lampNegated);
}

void MainWindow::showLineStatesUnknown()
{
    dtrAction->setIcon(lampUnknown);
    rtsAction->setIcon(lampUnknown);
}

// Configure and connect are offered while the port is closed, disconnect while it is open.
void MainWindow::showConnectionState(bool open)
{
    configureAction->setEnabled(!open);
    connectAction->setEnabled(!open);
    disconnectAction->setEnabled(open);
}
