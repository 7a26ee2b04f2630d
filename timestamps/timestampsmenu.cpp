#include "timestampsmenu.h"

#include "settingsstore.h"
#include "stamper.h"

#include <QActionGroup>

namespace {
const QString settingsKey = QStringLiteral("timestamps");
} // namespace

TimestampsMenu::TimestampsMenu(Stamper *lineStamper, const QString &commandLineChoice,
                               QWidget *parent)
    : QMenu(tr("Timestamps"), parent), stamper(lineStamper), keepChoice(commandLineChoice.isEmpty())
{
    Stamper::Mode mode = Stamper::Mode::Off;
    Stamper::modeNamed(keepChoice ? settingsstore::extraValue(settingsKey, QString()).toString()
                                  : commandLineChoice,
                       &mode);
    stamper->setMode(mode);

    auto *group = new QActionGroup(this);
    const struct
    {
        Stamper::Mode mode;
        QString text;
    } choices[] = {
        {Stamper::Mode::Off, tr("Off")},
        {Stamper::Mode::TimeOfDay, tr("Time of day")},
        {Stamper::Mode::SinceConnect, tr("Since connect")},
        {Stamper::Mode::SincePreviousLine, tr("Since previous line")},
        {Stamper::Mode::SinceLastSent, tr("Since last sent")},
    };
    for (const auto &choice : choices) {
        QAction *action = addAction(choice.text);
        action->setCheckable(true);
        action->setChecked(choice.mode == mode);
        action->setData(Stamper::nameOf(choice.mode));
        group->addAction(action);
    }
    connect(group, SIGNAL(triggered(QAction *)), this, SLOT(choose(QAction *)));
}

void TimestampsMenu::choose(QAction *action)
{
    Stamper::Mode mode = Stamper::Mode::Off;
    Stamper::modeNamed(action->data().toString(), &mode);
    stamper->setMode(mode);
    if (keepChoice)
        settingsstore::setExtraValue(settingsKey, action->data());
}
