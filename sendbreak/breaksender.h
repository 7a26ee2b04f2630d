#pragma once

#include <QObject>

class LineTap;
class QAction;
class QMainWindow;

// A break on the line: the transmit line held low for longer than a character lasts, which many
// devices take for a request to stop or to enter their boot loader.
class BreakSender : public QObject
{
    Q_OBJECT

public:
    BreakSender(QMainWindow *window, LineTap *tap);

    QAction *action() const { return breakAction; }

    static constexpr int breakMs = 250;

private slots:
    void start();
    void end();

private:
    QMainWindow *window;
    LineTap *tap;
    QAction *breakAction;
};
