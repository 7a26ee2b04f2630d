#include "ansicolours.h"

#include "settingsstore.h"

#include <QAction>

namespace {
const QString settingsKey = QStringLiteral("ansiColours");
} // namespace

AnsiColours::AnsiColours(QObject *parent) : QObject(parent)
{
    choice = new QAction(tr("ANSI colours"), this);
    choice->setCheckable(true);
    choice->setChecked(settingsstore::extraValue(settingsKey, false).toBool());
    connect(choice, SIGNAL(toggled(bool)), this, SLOT(keep(bool)));
}

bool AnsiColours::isOn() const
{
    return choice->isChecked();
}

// From now on, with nothing of an earlier time held back.
void AnsiColours::keep(bool on)
{
    sequences.reset();
    settingsstore::setExtraValue(settingsKey, on);
}
