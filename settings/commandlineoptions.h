#pragma once

#include <QString>
#include <QtGlobal>

// The start-up options. One instance for the whole process, filled by the command-line parser
// before the main window exists and only read afterwards. It sits with the settings, below the
// window, so that the window reads it without depending on the entry and its command-line parser.
//
// The numbers carry three meanings, which users' scripts rely on:
// - `notGiven` (-1) in `vendorId`, `productId` and `localEcho`: the option was absent. A value
//   that does not parse also lands here, but then the program never starts.
// - `baudRate` is never "absent": without -b it is `defaultBaudRate`, so every run starts at
//   115200 bit/s whatever the store holds. Only a negative rate (-b -1) leaves the stored rate
//   in force, and only then is the rate written back at exit.
// - -b 0 (`notARateToList`) is applied as it is but not offered in the settings dialog's list.
struct CommandLineOptions
{
    static constexpr qint32 notGiven = -1;
    static constexpr qint32 defaultBaudRate = 115200;
    static constexpr qint32 notARateToList = 0;

    bool noStatusLines = false;
    bool forceLog = false;
    qint32 vendorId = notGiven;
    qint32 productId = notGiven;
    qint32 baudRate = defaultBaudRate;
    qint32 localEcho = notGiven;
    QString serialNumber; // lower case; empty when not given
    // Beyond the basic terminal, for this run only; empty when not given.
    QString timestamps; // the name of a form of the stamps, "off" among them

    // The rate and local echo given here hold for this run only: they replace the stored ones
    // and are never written back.
    bool overridesBaudRate() const { return baudRate >= 0; }
    bool overridesLocalEcho() const { return localEcho >= 0; }
    // The settings dialog offers the current rate at the end of its list.
    bool listsBaudRate() const { return baudRate != notARateToList; }
    // A complete id pair or a serial number: the window searches for the device by itself.
    bool namesDevice() const
    {
        return (vendorId != notGiven && productId != notGiven) || !serialNumber.isEmpty();
    }
};
