#pragma once

#include <QMenu>

class QAction;
class Stamper;

// The choice of the stamps' form: Off, the default, or one of the four. A choice takes effect at
// the next line shown, and is kept in the settings unless the command line chose the form for
// this run.
class TimestampsMenu : public QMenu
{
    Q_OBJECT

public:
    // Starts `stamper` in the kept form, or in the one named `commandLineChoice` if not empty.
    TimestampsMenu(Stamper *stamper, const QString &commandLineChoice, QWidget *parent);

private slots:
    void choose(QAction *action);

private:
    Stamper *stamper;
    bool keepChoice;
};
