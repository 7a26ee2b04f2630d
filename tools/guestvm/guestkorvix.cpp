#include "guestkorvix.h"

#include "guestvm.h"
#include "privatehome.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

// korvix's toolbar items are native child windows that carry no name of their own under X (each
// is named korvix, after the application), and the guest has no accessibility bus to ask for the
// buttons' texts: what it observes is where the items are and what korvix traces. So an item is
// found by its place, counted from the left over every item (Settings, Connect, Disconnect, a
// separator, Clear, Log, a separator, Tools, a separator, the label DTR, DTR, the label RTS,
// RTS), and each click is proven by the trace its action writes: an item added or removed before
// it makes the click fail, saying what korvix traced instead, rather than hit another item.
struct ToolBarItem
{
    const char *name;
    int place;
    const char *trace; // how the line that its action traces begins
};

constexpr ToolBarItem toolBar[] = {{"Connect", 1, "onConnect() try to open "},
                                   {"Disconnect", 2, "onDisconnect()"},
                                   {"DTR", 10, "onToggleDTR() called"},
                                   {"RTS", 12, "onToggleRTS() called"}};

// The Extras button, right of RTS; its click opens a menu and traces nothing.
constexpr int extrasPlace = 13;

const ToolBarItem *toolBarItem(const QString &name)
{
    for (const ToolBarItem &item : toolBar) {
        if (name == QLatin1String(item.name))
            return &item;
    }
    return nullptr;
}

// The items whose actions traced among `lines`.
QStringList actionsTraced(const QStringList &lines)
{
    QStringList names;
    for (const QString &line : lines) {
        for (const ToolBarItem &item : toolBar) {
            if (line.startsWith(QLatin1String(item.trace)))
                names << QLatin1String(item.name);
        }
    }
    return names;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

GuestKorvix::GuestKorvix(GuestVm &guest)
    : vm(guest), runDir(guest.shareDir() + QStringLiteral("/korvix-XXXXXX")), dir(runDir.path())
{
    QDir().mkpath(home());
}

GuestKorvix::~GuestKorvix()
{
    if (running)
        quit();
    // What it said is the first thing to read when a test of it failed.
    if (QTest::currentTestFailed()) {
        const QStringList lines = traces();
        for (const QString &line : lines.mid(qMax(0, lines.size() - 40)))
            qWarning("korvix: %s", qPrintable(line));
    }
}

bool GuestKorvix::start(const QStringList &arguments, const QStringList &extraEnvironment)
{
    QProcessEnvironment environment = privateHomeEnvironment(home());
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("QT_USE_NATIVE_WINDOWS"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    QStringList command{QStringLiteral("start"), dir, home(), QStringLiteral("env")};
    const QStringList names = environment.keys();
    for (const QString &name : names)
        command << name + QLatin1Char('=') + environment.value(name);
    command << extraEnvironment << qEnvironmentVariable("KORVIX_BINARY") << arguments;
    running = vm.runCommand(command) == 0;
    return running;
}

QStringList GuestKorvix::traces() const
{
    return QString::fromLocal8Bit(readFile(dir + QStringLiteral("/trace")))
        .split(QLatin1Char('\n'));
}

int GuestKorvix::traceCount(const QString &line) const
{
    return traces().count(line);
}

bool GuestKorvix::waitForTrace(const QString &line, int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return traceCount(line) >= count; }, timeoutMs);
}

bool GuestKorvix::findWindow()
{
    QByteArray found;
    if (vm.runCommand({QStringLiteral("window")}, &found) != 0)
        return false;
    const QList<QByteArray> lines = found.trimmed().split('\n');
    window = QString::fromLatin1(lines.value(0));
    toolBarItems.clear();
    for (const QByteArray &line : lines.mid(1)) {
        const QList<QByteArray> centre = line.split(' ');
        toolBarItems << QPoint(centre.value(0).toInt(), centre.value(1).toInt());
    }
    return !window.isEmpty() && !toolBarItems.isEmpty();
}

QString GuestKorvix::windowTitle()
{
    QByteArray title;
    if (window.isEmpty() && !findWindow())
        return QString();
    vm.run(QStringLiteral("xdotool getwindowname %1").arg(window), &title);
    return QString::fromUtf8(title).trimmed();
}

bool GuestKorvix::clickToolBar(const QString &name)
{
    const ToolBarItem *item = toolBarItem(name);
    if (!item)
        return fail(
            QStringLiteral("korvix's toolbar has no item %1 that a test can click").arg(name));
    if (window.isEmpty() && !findWindow())
        return fail(QStringLiteral("korvix's window did not show"));
    if (item->place >= toolBarItems.size())
        return fail(QStringLiteral("korvix's toolbar has %1 items, none at %2's place, %3")
                        .arg(toolBarItems.size())
                        .arg(name)
                        .arg(item->place));
    const int seen = traces().size() - 1; // the last line may be unfinished
    const QPoint centre = toolBarItems.at(item->place);
    if (vm.runCommand({QStringLiteral("click"), window, QString::number(centre.x()),
                       QString::number(centre.y())}) != 0)
        return fail(QStringLiteral("xdotool cannot click korvix's window"));
    QStringList traced;
    const bool anyTraced = QTest::qWaitFor(
        [&] {
            traced = actionsTraced(traces().mid(seen));
            return !traced.isEmpty();
        },
        60000);
    if (anyTraced && traced.contains(name))
        return true;
    const QString instead =
        anyTraced ? QStringLiteral("the action of ") + traced.join(QStringLiteral(", "))
                  : QStringLiteral("no action's line");
    return fail(QStringLiteral("clicked %1, item %2 from the left of korvix's toolbar, but korvix "
                               "traced %3, not \"%4\": has the toolbar changed?")
                    .arg(name, QString::number(item->place), instead, QLatin1String(item->trace)));
}

bool GuestKorvix::pickLastExtra(const QString &trace)
{
    if (window.isEmpty() && !findWindow())
        return fail(QStringLiteral("korvix's window did not show"));
    if (extrasPlace >= toolBarItems.size())
        return fail(QStringLiteral("korvix's toolbar has %1 items, no Extras button at %2")
                        .arg(toolBarItems.size())
                        .arg(extrasPlace));
    const int seen = traceCount(trace);
    const QPoint centre = toolBarItems.at(extrasPlace);
    if (vm.runCommand({QStringLiteral("click"), window, QString::number(centre.x()),
                       QString::number(centre.y())}) != 0 ||
        vm.runCommand({QStringLiteral("keys"), QStringLiteral("Up"), QStringLiteral("Return")}) !=
            0)
        return fail(QStringLiteral("xdotool cannot open korvix's Extras menu"));
    if (!waitForTrace(trace, seen + 1, 60000))
        return fail(QStringLiteral("picked the last entry of the Extras menu, but korvix did not "
                                   "trace \"%1\": has the menu changed?")
                        .arg(trace));
    return true;
}

bool GuestKorvix::fail(const QString &why)
{
    reason = why;
    return false;
}

bool GuestKorvix::typeLine(const QString &text)
{
    if (window.isEmpty() && !findWindow())
        return false;
    return vm.runCommand({QStringLiteral("type"), window, text}) == 0;
}

bool GuestKorvix::quit()
{
    running = false;
    vm.runCommand({QStringLiteral("stop"), dir});
    const QString exitFile = dir + QStringLiteral("/exit");
    return QTest::qWaitFor([&] { return readFile(exitFile).endsWith('\n'); }, 60000) &&
           readFile(exitFile) == "0\n";
}
