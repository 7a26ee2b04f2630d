#include "inputlines.h"

#include "linetap.h"
#include "settingsstore.h"

#include <QAction>
#include <QDebug>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QSerialPort>
#include <QToolBar>

using inputlines::Counts;
using inputlines::Levels;
using inputlines::lineCount;

namespace {

// Off by default: a line each time a lamp changes, with all four, for tests and for finding out
// what a device does with its lines.
Q_LOGGING_CATEGORY(lampTrace, "korvix.inputlines", QtWarningMsg)

const QString shownKey = QStringLiteral("inputLines");

struct LineName
{
    const char *name;
    const char *toolTip;
};

const std::array<LineName, lineCount> lineNames = {{
    {"CTS", QT_TRANSLATE_NOOP("InputLines", "CTS: clear to send, an input line")},
    {"DSR", QT_TRANSLATE_NOOP("InputLines", "DSR: data set ready, an input line")},
    {"DCD", QT_TRANSLATE_NOOP("InputLines", "DCD: data carrier detect, an input line")},
    {"RI", QT_TRANSLATE_NOOP("InputLines", "RI: ring indicator, an input line")},
}};

} // namespace

InputLines::InputLines(LineTap *lineTap, std::unique_ptr<inputlines::LineReader> lineReader,
                       QToolBar *toolBar, QAction *before, QObject *parent)
    : QObject(parent), tap(lineTap), reader(std::move(lineReader))
{
    for (int line = 0; line < lineCount; ++line) {
        const LineName &names = lineNames[size_t(line)];
        // As the DTR and RTS lamps: the plain name, then the picture.
        toolBarItems.append(toolBar->insertWidget(before, new QLabel(QLatin1String(names.name))));
        auto *lamp = new QAction(lampUnknown, QLatin1String(names.name), this);
        lamp->setToolTip(tr(names.toolTip));
        toolBar->insertAction(before, lamp);
        toolBarItems.append(lamp);
        lamps[size_t(line)] = lamp;
    }
    connect(tap, SIGNAL(opened(qint64)), this, SLOT(startConnection()));
    connect(tap, SIGNAL(closed(bool)), this, SLOT(startConnection()));

    showAction = new QAction(tr("Input lines"), this);
    showAction->setCheckable(true);
    showAction->setToolTip(tr("Lamps for the input lines CTS, DSR, DCD and RI"));
    showAction->setChecked(settingsstore::extraValue(shownKey, false).toBool());
    setShown(showAction->isChecked());
    connect(showAction, SIGNAL(toggled(bool)), this, SLOT(choose(bool)));
}

InputLines::~InputLines() = default;

void InputLines::addActionTo(QMenu *menu)
{
    menu->addAction(showAction);
}

// Stored only when chosen: a user who never does finds the settings file as it was.
void InputLines::choose(bool on)
{
    settingsstore::setExtraValue(shownKey, on);
    setShown(on);
}

// Hidden, nothing is read: no tick reaches the lamps.
void InputLines::setShown(bool on)
{
    for (QAction *item : qAsConst(toolBarItems))
        item->setVisible(on);
    if (on) {
        // Changes counted while hidden are no pulse of this tick.
        previousRead = false;
        show(Lamps{});
        connect(tap, SIGNAL(ticked()), this, SLOT(readLines()), Qt::UniqueConnection);
    } else {
        disconnect(tap, SIGNAL(ticked()), this, SLOT(readLines()));
    }
}

// At a connect and a disconnect: unknown until the first tick reads the new port.
void InputLines::startConnection()
{
    previousRead = false;
    countsMissing = false;
    traced = false;
    show(Lamps{});
}

void InputLines::readLines()
{
    if (!tap->isOpen())
        return;
    const int handle = tap->port()->handle();
    Levels levels{};
    if (const int error = reader->readLevels(handle, &levels)) {
        traceOnce("the input lines cannot be read", error);
        previousRead = false;
        show(Lamps{});
        return;
    }
    Counts counts{};
    if (!countsMissing) {
        if (const int error = reader->readCounts(handle, &counts)) {
            traceOnce("short pulses on the input lines are not counted", error);
            countsMissing = true;
        }
    }
    show(lampsAfter(levels, countsMissing ? nullptr : &counts));
    previousRead = !countsMissing;
    previousLevels = levels;
    previousCounts = counts;
}

// A line lights while it is high, and for one tick after a pulse the levels missed: when it is low
// and its counter moved by more than the one fall the levels show (from high at the last tick).
InputLines::Lamps InputLines::lampsAfter(const Levels &levels, const Counts *counts) const
{
    Lamps next{};
    for (size_t line = 0; line < size_t(lineCount); ++line) {
        const int fallsShown = previousLevels[line] ? 1 : 0;
        const bool pulsed =
            counts && previousRead && (*counts)[line] - previousCounts[line] > fallsShown;
        next[line] = levels[line] || pulsed ? Lamp::High : Lamp::Low;
    }
    return next;
}

void InputLines::show(const Lamps &next)
{
    if (next == shown)
        return;
    shown = next;
    QString trace;
    for (size_t line = 0; line < size_t(lineCount); ++line) {
        const Lamp lamp = shown[line];
        lamps[line]->setIcon(lamp == Lamp::High  ? lampHigh
                             : lamp == Lamp::Low ? lampLow
                                                 : lampUnknown);
        trace += QLatin1String(lineNames[line].name) + QLatin1Char('=') +
                 QLatin1Char(lamp == Lamp::High  ? '1'
                             : lamp == Lamp::Low ? '0'
                                                 : '?') +
                 QLatin1Char(' ');
    }
    qCDebug(lampTrace).noquote() << trace.trimmed();
}

// Once a connection: a port without modem lines would otherwise say so at every tick.
void InputLines::traceOnce(const char *what, int error)
{
    if (traced)
        return;
    traced = true;
    qDebug().noquote().nospace() << what << ": " << tap->port()->portName() << ": "
                                 << qt_error_string(error);
}
