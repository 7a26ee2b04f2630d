#pragma once

#include <QProcessEnvironment>
#include <QString>

// The variables that give a program the home directory `home` in place of the user's: its
// settings, data, cache and run-time directories all lie inside. Makes the run-time directory
// (mode 0700, as its users expect). The tests take it for themselves, the driver for the real
// program it starts.
QProcessEnvironment privateHomeEnvironment(const QString &home);
