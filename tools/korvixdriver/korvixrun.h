#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A private X server for the tests that drive the real program, started by scripts/xvfb on a
// free display and stopped (gracefully, so it leaves no lock files) when the object goes.
class XServer
{
public:
    XServer();
    ~XServer();
    bool isRunning() const { return !display.isEmpty(); }
    QString name() const { return display; } // ":N"

private:
    QProcess server;
    QString display;
};

// The real korvix binary run by a test as a user runs it: its own home and settings, on the
// test's X server, typed to with xdotool, closed through its window like a user closes it.
class KorvixRun
{
public:
    explicit KorvixRun(const XServer &server);
    ~KorvixRun();

    void setEnvironment(const QString &name, const QString &value);
    // Its traces go to `path` instead of being collected, for runs that trace more than
    // memory should hold; traces() and waitForTrace() then see none.
    void setTraceFile(const QString &path) { traceFile = path; }
    bool start(const QStringList &arguments);
    // Starts it with options that find a device by itself; its window once the title shows the
    // connection to `portName` at 115200 bit/s, else 0.
    unsigned long startConnected(const QStringList &arguments, const QString &portName);

    bool waitForTrace(const QString &line, int timeoutMs = 10000);
    int traceCount(const QString &line) const;
    QStringList traces() const;

    // The program's mapped top-level windows. Dialogs without a title of their own carry the
    // program's name like the main window, so tests tell windows apart by when they appear.
    QList<unsigned long> visibleWindows() const;
    // A visible window not in `known`; 0 when none appears within the time-out.
    unsigned long waitForNewWindow(const QList<unsigned long> &known = {}, int timeoutMs = 10000);
    QString windowTitle(unsigned long window) const;
    bool waitForTitle(unsigned long window, const QString &title, int timeoutMs = 10000);
    bool typeText(unsigned long window, const QString &text);
    bool pressKey(unsigned long window, const QString &key);
    bool closeWindow(unsigned long window);
    // Closed through its window, it must end by itself with exit code 0.
    bool closeNormally(unsigned long window);

    bool waitForExit(int timeoutMs = 15000);
    int exitCode() const { return process.exitCode(); }
    bool crashed() const { return process.exitStatus() == QProcess::CrashExit; }

    qint64 pid() const { return process.processId(); }
    double cpuSeconds() const;            // user + system time so far, from /proc
    int openFileDescriptors() const;      // from /proc
    qint64 residentKilobytes() const;     // from /proc
    qint64 peakResidentKilobytes() const; // the most resident memory so far, from /proc

    QString home() const { return homeDir.path(); }
    QString settingsFile() const { return homeDir.path() + "/.config/velmorand/korvix.conf"; }

private:
    QString tool(const QString &program, const QStringList &arguments, bool *ok = nullptr) const;
    bool xdotoolOn(unsigned long window, const QStringList &arguments);
    void collect() const;

    const XServer &x;
    QTemporaryDir homeDir;
    QProcessEnvironment environment;
    QString traceFile;
    mutable QProcess process;
    mutable QStringList lines;
    mutable QByteArray partial;
};

// The frame of every test of the real program: inside the sandbox, with an X server of its own.
class BlackboxTestCase : public QObject
{
    Q_OBJECT

protected:
    std::unique_ptr<XServer> x;

private slots:
    void initTestCase();
    void cleanupTestCase() { x.reset(); }
};
