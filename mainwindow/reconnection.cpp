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
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports) {
        qDebug().noquote().nospace() << "location: " << port.systemLocation();
        qDebug().noquote().nospace()
            << "SN: " << port.serialNumber() << " lastsn = " << wanted.lastSerialNumber;
        qDebug().noquote().nospace() << "settingsname: " << settings.portName;

        if (!wanted.isCandidate(port))
            continue;
        if (wanted.learnFrom(port, !options->serialNumber.isEmpty()))
            settings.portName = port.portName();
        if (!wanted.isConfirmedBy(port))
            continue;
        if (port.portName() != settings.portName)
            qDebug("########### portname changed between autoconnect ");
        settings.portName = port.portName();
        ++matches;
    }
    qDebug().nospace() << "foundit = " << (matches > 0 ? "true" : "false");

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
