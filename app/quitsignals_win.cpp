#include "quitsignals.h"

// Windows sends console programs control events, not these signals; its defaults stay.
QuitSignals::QuitSignals(QObject *parent) : QObject(parent) {}

QuitSignals::~QuitSignals() = default;

void QuitSignals::closeWindows() {}
