#pragma once

#include <QString>
#include <QtGlobal>

// The start-up options. One instance for the whole process, filled by the command-line parser
// before the main window exists and only read afterwards. Negative numbers mean "not given".
// It sits with the settings, below the window, so that the window reads it without depending on
// the entry and its command-line parser.
struct CommandLineOptions
{
    bool noStatusLines = false;
    bool forceLog = false;
    qint32 vendorId = -1;
    qint32 productId = -1;
    qint32 baudRate = 115200;
    qint32 localEcho = -1;
    QString serialNumber; // lower case
};
