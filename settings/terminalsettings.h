#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringList>

// The part of the settings that the tools dialog edits as one unit.
struct ToolsSettings
{
    bool isCRLF = false;      // a carriage return goes out as CR LF instead of LF
    QStringList functionKeys; // element 0 is sent by F1, element 9 by F10
};

// The one record of terminal settings, held by value by the main window.
struct TerminalSettings
{
    // The port a connect opens, in one of two forms that QSerialPort::setPortName both accepts:
    // the settings dialog stores the chosen port's system location ("/dev/ttyUSB0"), the
    // automatic search the found port's name ("ttyUSB0"). Both show as they are in the window
    // title. Empty until one of them writes it.
    QString portName;
    qint32 baudRate = 9600;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::FlowControl flowControl = QSerialPort::NoFlowControl;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    bool localEchoEnabled = false;
    ToolsSettings tools;
};
