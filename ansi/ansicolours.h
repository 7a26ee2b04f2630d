#pragma once

#include "ansi.h"

#include <QObject>

class QAction;

// The choice to show the colours that escape sequences in received text ask for, off by
// default and kept in the settings, and the parser that follows the sequences across chunks.
class AnsiColours : public QObject
{
    Q_OBJECT

public:
    explicit AnsiColours(QObject *parent);

    bool isOn() const;
    ansi::Parser &parser() { return sequences; }
    QAction *action() const { return choice; }

public slots:
    // A new connection starts in the pane's own style.
    void reset() { sequences.reset(); }

private slots:
    void keep(bool on);

private:
    QAction *choice;
    ansi::Parser sequences;
};
