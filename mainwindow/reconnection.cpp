// Finding the wanted device among the present ports by its USB identity, whatever its port name.
#include "mainwindow.h"

#include "console.h"

#include <QDebug>
#include <QMessageBox>
#include <QSerialPortInfo>
#include <QStatusBar>
#include <QTimer>

void MainWindow::onTryToReconnect()
{
    qDebug("onTryToReconnect()");
    statusBar()->showMessage(tr("Try to autoconnect"));

    int matches = 0;
    bool found = false;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports) {
        const QString serialNumber = port.serialNumber().toLower();
        qDebug().noquote().nospace() << "location: " << port.systemLocation();
        qDebug().noquote().nospace()
            << "SN: " << port.serialNumber() << " lastsn = " << lastSerialNumber;
        qDebug().noquote().nospace() << "settingsname: " << settings.portName;

        // A stored -1 never equals a 16-bit identifier. A port without a serial number
        // counts only by its identifiers: built-in UARTs and cheap adapters of every other
        // type have none, and an empty serial number would match them all.
        const bool sameType =
            port.vendorIdentifier() == lastVendorId && port.productIdentifier() == lastProductId;
        const bool sameSerialNumber = !serialNumber.isEmpty() && serialNumber == lastSerialNumber;
        if (!sameType && !sameSerialNumber)
            continue;
        // Without a serial number on the command line, the first device of the wanted type
        // found in this run lends its serial number to every later search.
        if (learnSerialNumber && options->serialNumber.isEmpty()) {
            learnSerialNumber = false;
            lastSerialNumber = serialNumber;
            settings.portName = port.portName();
        }
        if (serialNumber != lastSerialNumber)
            continue;
        if (port.portName() != settings.portName)
            qDebug("########### portname changed between autoconnect ");
        settings.portName = port.portName();
        ++matches;
        found = true;
    }
    qDebug().nospace() << "foundit = " << (found ? "true" : "false");

    if (matches > 1) {
        qDebug("##################### filter found more than one device");
        QMessageBox::warning(
            this, QStringLiteral("korvix"),
            tr("automatic reconnect found more than one device.\nNow configure manually."),
            QMessageBox::Ok, QMessageBox::NoButton);
        onConfigure();
        return;
    }

    showLineStatesUnknown();
    if (matches == 1) {
        qDebug("planned: onConnect()");
        QTimer::singleShot(connectDelayMs, this, SLOT(onConnect()));
    } else {
        QTimer::singleShot(searchPeriodMs, this, SLOT(onTryToReconnect()));
    }
    console->setLook(Console::Look::BlackOnWhite);
}
