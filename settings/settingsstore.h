#pragma once

#include "terminalsettings.h"

#include <QPoint>
#include <QSize>
#include <QVariant>

// Persistence of the settings record and of the window geometry in the platform settings
// store of organisation "velmorand", application "korvix".
namespace settingsstore {

constexpr int functionKeyCount = 10;

// Fills the persisted fields of `settings` (baud rate, local echo, line ending, function keys)
// and the geometry; missing keys give the defaults, present ones what the Qt conversion gives.
void load(TerminalSettings *settings, QPoint *windowPos, QSize *windowSize);

// Which values came from the command line for this run only and must not be written back.
struct CommandLineOverrides
{
    bool baudRate = false;
    bool localEcho = false;
};

void store(const TerminalSettings &settings, const QPoint &windowPos, const QSize &windowSize,
           CommandLineOverrides overrides);

// The extras' own choices, each under a key of its own in the group "extras", read and written
// when they change; the keys above never change for them.
QVariant extraValue(const QString &key, const QVariant &defaultValue);
void setExtraValue(const QString &key, const QVariant &value);

} // namespace settingsstore
