#pragma once

#include "linereader.h"

#include <QIcon>
#include <QList>
#include <QObject>

#include <array>
#include <memory>

class LineTap;
class QAction;
class QMenu;
class QToolBar;

// Lamps for the port's input lines, CTS, DSR, DCD and RI, beside the DTR and RTS lamps. While
// they are shown and the port is open, the lines are read at every display tick; a pulse shorter
// than a tick lights its lamp for one tick where the driver counts the lines' changes. A port
// without modem lines, or a closed one, shows them unknown.
class InputLines : public QObject
{
    Q_OBJECT

public:
    // The lamps go on `toolBar` before `before`.
    InputLines(LineTap *tap, std::unique_ptr<inputlines::LineReader> reader, QToolBar *toolBar,
               QAction *before, QObject *parent);
    ~InputLines() override;

    // "Input lines", which shows or hides the lamps, as the user left it.
    void addActionTo(QMenu *menu);

private slots:
    void choose(bool on);
    void readLines();
    void startConnection();

private:
    enum class Lamp { Unknown, Low, High };
    using Lamps = std::array<Lamp, inputlines::lineCount>;

    void setShown(bool on);
    Lamps lampsAfter(const inputlines::Levels &levels, const inputlines::Counts *counts) const;
    void show(const Lamps &next);
    void traceOnce(const char *what, int error);

    LineTap *tap;
    std::unique_ptr<inputlines::LineReader> reader;
    QAction *showAction;
    QList<QAction *> toolBarItems; // the lamps and their names, shown and hidden together
    std::array<QAction *, inputlines::lineCount> lamps{};
    // Made once: every new icon leaves pixmaps of its own in the toolkit's cache.
    const QIcon lampHigh{QStringLiteral(":/images/led_green.png")};
    const QIcon lampLow{QStringLiteral(":/images/led_red.png")};
    const QIcon lampUnknown{QStringLiteral(":/images/question.png")};
    Lamps shown{};

    // Of the connection: the last tick's reading, which a pulse's counts are measured against.
    bool previousRead = false;
    inputlines::Levels previousLevels{};
    inputlines::Counts previousCounts{};
    bool countsMissing = false;
    bool traced = false;
};
