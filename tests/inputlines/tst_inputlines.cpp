#include "harness.h"
#include "inputlines.h"
#include "linetap.h"
#include "mainwindow.h"
#include "messagelog.h"
#include "testmain.h"
#include "windowprobe.h"

#include <usbsim/adapter.h>

#include <QAction>
#include <QMenu>
#include <QSerialPort>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>

#include <algorithm>
#include <cerrno>

using inputlines::Counts;
using inputlines::Levels;

namespace {

const QStringList lineNames{"CTS", "DSR", "DCD", "RI"};

// A device's lines as a test plays them, in place of the kernel.
class PlayedLines : public inputlines::LineReader
{
public:
    int readLevels(int handle, Levels *levels) override
    {
        Q_UNUSED(handle)
        ++reads;
        *levels = playedLevels;
        return levelsError;
    }
    int readCounts(int handle, Counts *counts) override
    {
        Q_UNUSED(handle)
        *counts = playedCounts;
        return countsError;
    }

    // "CTS RI=2": CTS high, RI's counter at 2; "ENOTTY": no modem lines; "EINVAL": no counters.
    void play(const QString &tick)
    {
        playedLevels = Levels{};
        for (const QString &word : tick.split(' ', Qt::SkipEmptyParts)) {
            const QStringList nameAndCount = word.split('=');
            const int line = lineNames.indexOf(nameAndCount.front());
            if (word == "ENOTTY")
                levelsError = ENOTTY;
            else if (word == "EINVAL")
                countsError = EINVAL;
            else if (nameAndCount.size() == 2)
                playedCounts[size_t(line)] = nameAndCount.back().toInt();
            else if (line >= 0)
                playedLevels[size_t(line)] = true;
        }
    }

    int reads = 0;

private:
    Levels playedLevels{};
    Counts playedCounts{};
    int levelsError = 0;
    int countsError = 0;
};

// The lamps as the toolbar shows them: 1 green, 0 red, ? unknown, - hidden.
QString lampsShown(QToolBar *toolBar)
{
    QString shown;
    for (const QString &name : lineNames) {
        const QList<QAction *> items = toolBar->actions();
        QAction *lamp = *std::find_if(items.cbegin(), items.cend(),
                                      [&](QAction *item) { return item->text() == name; });
        shown += !lamp->isVisible()                                                ? '-'
                 : testsupport::showsImage(lamp->icon(), ":/images/led_green.png") ? '1'
                 : testsupport::showsImage(lamp->icon(), ":/images/led_red.png")   ? '0'
                 : testsupport::showsImage(lamp->icon(), ":/images/question.png")  ? '?'
                                                                                   : 'x';
    }
    return shown;
}

} // namespace

class tst_InputLines : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings("velmorand", "korvix").clear(); }

    void lamps_data();
    void lamps();
    void aPseudoTerminalShowsThemUnknown();
};

void tst_InputLines::lamps_data()
{
    QTest::addColumn<QStringList>("ticks"); // as PlayedLines plays them; "hidden", "closed"
    QTest::addColumn<QStringList>("shown"); // after each tick
    QTest::addColumn<int>("traces");

    QTest::newRow("levels") << QStringList{"CTS DCD", "DSR RI", ""}
                            << QStringList{"1010", "0101", "0000"} << 0;
    QTest::newRow("a pulse between ticks lights for a tick")
        << QStringList{"", "RI=2", "RI=2"} << QStringList{"0000", "0001", "0000"} << 0;
    QTest::newRow("a counter of trailing edges")
        << QStringList{"RI", "RI=1", "RI=2"} << QStringList{"0001", "0000", "0001"} << 0;
    QTest::newRow("a fall is no pulse, a fall and a pulse are")
        << QStringList{"CTS DSR", "CTS=1 DSR=3"} << QStringList{"1100", "0100"} << 0;
    QTest::newRow("changes counted before are no pulse")
        << QStringList{"DCD=7", "DCD=7 hidden", "DCD=9 hidden", "DCD=9", "closed DCD=11", "DCD=11"}
        << QStringList{"0000", "----", "----", "0000", "????", "0000"} << 0;
    QTest::newRow("no counters: the levels alone, and one trace")
        << QStringList{"EINVAL CTS", "RI=2", "RI=4"} << QStringList{"1000", "0000", "0000"} << 1;
    QTest::newRow("no modem lines: unknown, and one trace")
        << QStringList{"ENOTTY CTS", "CTS", "CTS"} << QStringList{"????", "????", "????"} << 1;
}

// The lines are read at each tick while the lamps are shown and the port is open, and only then.
void tst_InputLines::lamps()
{
    QFETCH(QStringList, ticks);
    QFETCH(QStringList, shown);
    QFETCH(int, traces);
    usbsim::Adapter adapter;
    QVERIFY(adapter.plug("ttyUSB0"));
    QSerialPort port("ttyUSB0");
    QVERIFY(port.open(QIODevice::ReadWrite));
    LineTap tap(&port, nullptr);
    QToolBar toolBar;
    QAction *extrasButton = toolBar.addAction("Extras");
    auto reader = std::make_unique<PlayedLines>();
    PlayedLines *played = reader.get();
    InputLines inputLines(&tap, std::move(reader), &toolBar, extrasButton, nullptr);
    QMenu menu;
    inputLines.addActionTo(&menu);
    QAction *showLamps = menu.actions().front();
    QCOMPARE(lampsShown(&toolBar), QString("----"));
    showLamps->trigger();
    tap.noteOpened();

    testsupport::MessageLog log;
    for (int tick = 0; tick < ticks.size(); ++tick) {
        const bool hidden = ticks[tick].contains("hidden");
        const bool closed = ticks[tick].contains("closed");
        if (showLamps->isChecked() == hidden)
            showLamps->trigger();
        if (closed) {
            port.close();
            tap.noteClosed(false);
        } else if (!port.isOpen()) {
            QVERIFY(port.open(QIODevice::ReadWrite));
            tap.noteOpened();
        }
        played->play(ticks[tick]);
        const int readsBefore = played->reads;
        tap.noteTick();
        QCOMPARE(lampsShown(&toolBar), shown[tick]);
        QCOMPARE(played->reads - readsBefore, hidden || closed ? 0 : 1);
    }
    QCOMPARE(log.messages().size(), traces);
}

// On the toolbar after the RTS lamp, before Extras; a pseudo-terminal has no modem lines.
void tst_InputLines::aPseudoTerminalShowsThemUnknown()
{
    usbsim::Adapter adapter;
    QVERIFY(adapter.plug("ttyUSB0"));
    auto window = harness::connectedWindow();
    auto *toolBar = window->findChild<QToolBar *>();
    QList<QWidget *> order;
    for (QAction *item : toolBar->actions())
        order.append(toolBar->widgetForAction(item));
    const auto place = [&](const QString &text) {
        return order.indexOf(
            toolBar->widgetForAction(testsupport::actionNamed(window.get(), text)));
    };
    const QList<int> places{
        place("&RTS"), place("CTS"), place("DSR"),
        place("DCD"),  place("RI"),  order.indexOf(window->findChild<QWidget *>("extrasButton"))};
    QCOMPARE(places, (QList<int>{places[0], places[0] + 2, places[0] + 4, places[0] + 6,
                                 places[0] + 8, places[0] + 9}));

    testsupport::MessageLog log;
    QSignalSpy ticks(window->findChild<LineTap *>(), &LineTap::ticked);
    harness::trigger(window.get(), "Input lines");
    for (int connection = 1; connection <= 2; ++connection) {
        QTRY_VERIFY(ticks.count() >= 5 * connection);
        QCOMPARE(lampsShown(toolBar), QString("????"));
        const QString trace("the input lines cannot be read: ttyUSB0: "
                            "Inappropriate ioctl for device");
        QCOMPARE(log.messages().filter("input lines"),
                 QVector<QString>(connection, trace).toList());
        harness::trigger(window.get(), "&Disconnect");
        harness::trigger(window.get(), "&Connect");
    }
}

KORVIX_TEST_MAIN(tst_InputLines)
#include "tst_inputlines.moc"
