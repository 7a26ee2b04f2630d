#pragma once

#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class GuestVm;

// The real korvix binary run in the guest as a user runs it, on the guest's X server: a home of
// its own, its traces in a file that the host reads as they come, its toolbar clicked and its
// window typed to with xdotool, and SIGTERM to end it.
//
// Its widgets get X windows of their own (QT_USE_NATIVE_WINDOWS), so that the toolbar's items
// can be found, and it draws without OpenGL, whose start-up takes long under emulation.
class GuestKorvix
{
public:
    explicit GuestKorvix(GuestVm &vm);
    ~GuestKorvix(); // ends it if it still runs

    // `extraEnvironment`: NAME=value entries beside those of the private home.
    bool start(const QStringList &arguments, const QStringList &extraEnvironment = QStringList());
    // Waits until the traces hold `line` `count` times or more.
    bool waitForTrace(const QString &line, int count = 1, int timeoutMs = 120000);
    int traceCount(const QString &line) const;
    QStringList traces() const;

    QString windowTitle();
    // Clicks the toolbar's item `name` (Connect, Disconnect, DTR or RTS) and waits for the trace
    // its action writes. False, with the reason in whyNot(), when the click cannot be made or
    // korvix traced another action or none: the click hit another item.
    bool clickToolBar(const QString &name);
    // Opens the Extras menu and picks its last entry with the keyboard (Up from no entry goes to
    // the bottom), then waits for `trace`, the line the entry's action writes.
    bool pickLastExtra(const QString &trace);
    QString whyNot() const { return reason; }
    // Types `text` into the window, then presses Return.
    bool typeLine(const QString &text);
    // Ends it with SIGTERM; true when it then exits with 0.
    bool quit();

    QString home() const { return dir + QStringLiteral("/home"); } // the same path in the guest

private:
    bool findWindow();
    bool fail(const QString &why);

    GuestVm &vm;
    QTemporaryDir runDir; // in the shared directory, so at the same path in the guest
    QString dir;
    QString window;             // the main window's X id, once found
    QList<QPoint> toolBarItems; // their centres, in the main window, from the left
    QString reason;
    bool running = false;
};
