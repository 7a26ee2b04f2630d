#include "korvixrun.h"

#include "privatehome.h"

#include <usbsim/adapter.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <unistd.h>

XServer::XServer()
{
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(QStringLiteral(KORVIX_XVFB_SCRIPT), {QStringLiteral("1280x1024x24")});
    // Its first line, the display, comes once the server accepts clients.
    while (!server.canReadLine() && server.waitForReadyRead(20000)) {
    }
    display = QString::fromLatin1(server.readLine()).trimmed();
}

XServer::~XServer()
{
    if (server.state() == QProcess::NotRunning)
        return;
    server.terminate();
    if (!server.waitForFinished(5000))
        server.kill();
    server.waitForFinished(2000);
}

KorvixRun::KorvixRun(const XServer &server)
    : x(server), environment(QProcessEnvironment::systemEnvironment())
{
    environment.remove("QT_QPA_PLATFORM");
    environment.insert("DISPLAY", x.name());
    const QProcessEnvironment home = privateHomeEnvironment(homeDir.path());
    const QStringList names = home.keys();
    for (const QString &name : names)
        environment.insert(name, home.value(name));
    environment.insert("LANG", "C.UTF-8");
    environment.remove("LC_ALL");
    environment.remove("LANGUAGE");
}

KorvixRun::~KorvixRun()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
    // What the program said is the first thing to read when a test of it failed.
    if (QTest::currentTestFailed()) {
        collect();
        lines << QString::fromLocal8Bit(partial);
        for (const QString &line : lines.mid(qMax(0, lines.size() - 40)))
            qWarning("korvix: %s", qPrintable(line));
    }
}

void KorvixRun::setEnvironment(const QString &name, const QString &value)
{
    environment.insert(name, value);
}

bool KorvixRun::start(const QStringList &arguments)
{
    process.setProcessEnvironment(environment);
    if (!traceFile.isEmpty())
        process.setStandardErrorFile(traceFile);
    process.start(qEnvironmentVariable("KORVIX_BINARY"), arguments);
    return process.waitForStarted(10000);
}

unsigned long KorvixRun::startConnected(const QStringList &arguments, const QString &portName)
{
    if (!start(arguments))
        return 0;
    const unsigned long window = waitForNewWindow();
    return window && waitForTitle(window, "korvix " + portName + " 115200") ? window : 0;
}

void KorvixRun::collect() const
{
    partial += process.readAllStandardError();
    int end;
    while ((end = partial.indexOf('\n')) >= 0) {
        lines << QString::fromLocal8Bit(partial.left(end));
        partial.remove(0, end + 1);
    }
}

bool KorvixRun::waitForTrace(const QString &line, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            collect();
            return lines.contains(line);
        },
        timeoutMs);
}

int KorvixRun::traceCount(const QString &line) const
{
    collect();
    return lines.count(line);
}

QStringList KorvixRun::traces() const
{
    collect();
    return lines;
}

QString KorvixRun::tool(const QString &program, const QStringList &arguments, bool *ok) const
{
    QProcess tool;
    QProcessEnvironment toolEnvironment = QProcessEnvironment::systemEnvironment();
    toolEnvironment.insert("DISPLAY", x.name());
    tool.setProcessEnvironment(toolEnvironment);
    tool.start(program, arguments);
    const bool finished = tool.waitForFinished(20000);
    if (ok)
        *ok = finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

QList<unsigned long> KorvixRun::visibleWindows() const
{
    QList<unsigned long> windows;
    const QString found =
        tool("xdotool", {"search", "--onlyvisible", "--pid", QString::number(process.processId())});
    for (const QString &id : found.split('\n', Qt::SkipEmptyParts))
        windows << id.toULong();
    return windows;
}

unsigned long KorvixRun::waitForNewWindow(const QList<unsigned long> &known, int timeoutMs)
{
    unsigned long window = 0;
    const bool appeared = QTest::qWaitFor(
        [&] {
            for (unsigned long candidate : visibleWindows()) {
                if (!known.contains(candidate)) {
                    window = candidate;
                    return true;
                }
            }
            return process.state() == QProcess::NotRunning;
        },
        timeoutMs);
    // Give the toolkit a moment to finish mapping and focusing it.
    if (appeared && window)
        QTest::qWait(200);
    return window;
}

QString KorvixRun::windowTitle(unsigned long window) const
{
    return tool("xdotool", {"getwindowname", QString::number(window)});
}

bool KorvixRun::waitForTitle(unsigned long window, const QString &title, int timeoutMs)
{
    return QTest::qWaitFor([&] { return windowTitle(window) == title; }, timeoutMs);
}

bool KorvixRun::typeText(unsigned long window, const QString &text)
{
    return xdotoolOn(window, {"type", "--delay", "30", text});
}

bool KorvixRun::pressKey(unsigned long window, const QString &key)
{
    return xdotoolOn(window, {"key", key});
}

// Keys go to the focused window; without a window manager, focus must be given by hand.
bool KorvixRun::xdotoolOn(unsigned long window, const QStringList &arguments)
{
    bool ok = false;
    tool("xdotool", {"windowfocus", "--sync", QString::number(window)}, &ok);
    if (ok)
        tool("xdotool", arguments, &ok);
    return ok;
}

bool KorvixRun::closeWindow(unsigned long window)
{
    bool ok = false;
    tool(qEnvironmentVariable("XWMCLOSE_BINARY"), {QString::number(window)}, &ok);
    return ok;
}

bool KorvixRun::closeNormally(unsigned long window)
{
    return closeWindow(window) && waitForExit() && !crashed() && exitCode() == 0;
}

bool KorvixRun::waitForExit(int timeoutMs)
{
    const bool ended =
        QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    collect();
    return ended;
}

namespace {
QByteArray procFile(qint64 pid, const char *name)
{
    QFile file(QString("/proc/%1/%2").arg(pid).arg(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

double KorvixRun::cpuSeconds() const
{
    // Fields after the parenthesised command name; utime and stime are the 12th and 13th.
    const QByteArray stat = procFile(pid(), "stat");
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

int KorvixRun::openFileDescriptors() const
{
    return QDir(QString("/proc/%1/fd").arg(pid()))
        .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
        .size();
}

namespace {
// A "Name:   123 kB" line of /proc/PID/status.
qint64 statusKilobytes(qint64 pid, const QString &name)
{
    const QRegularExpression line(name + ":\\s+(\\d+) kB");
    return line.match(QString::fromLatin1(procFile(pid, "status"))).captured(1).toLongLong();
}
} // namespace

qint64 KorvixRun::residentKilobytes() const
{
    return statusKilobytes(pid(), "VmRSS");
}

qint64 KorvixRun::peakResidentKilobytes() const
{
    return statusKilobytes(pid(), "VmHWM");
}

void BlackboxTestCase::initTestCase()
{
    QVERIFY2(usbsim::insideSandbox(), "run inside usbsim sandbox");
    x = std::make_unique<XServer>();
    QVERIFY2(x->isRunning(), "Xvfb did not start");
}
