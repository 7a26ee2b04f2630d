#include "sendqueue.h"

#include <isolatedhome.h>
#include <usbsim/pattern.h>

#include <QtTest>

using usbsim::SendQueue;

KORVIX_ISOLATE_HOME

class StreamTest : public QObject
{
    Q_OBJECT

private slots:
    void patternIsTheSameFromAnyOffset_data();
    void patternIsTheSameFromAnyOffset();
    void patternDependsOnTheSeed();
    void pacingFollowsTheRate_data();
    void pacingFollowsTheRate();
    void pacingDoesNotCatchUpAfterAStall();
};

void StreamTest::patternIsTheSameFromAnyOffset_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("length");
    QTest::newRow("start") << 0 << 100;
    QTest::newRow("inside a block") << 3 << 2;
    QTest::newRow("across blocks") << 5 << 20;
    QTest::newRow("aligned") << 4096 << 8;
    QTest::newRow("one byte") << 999 << 1;
}

void StreamTest::patternIsTheSameFromAnyOffset()
{
    QFETCH(int, offset);
    QFETCH(int, length);
    const QByteArray whole = usbsim::pattern(0, 8192, 42);
    QCOMPARE(usbsim::pattern(offset, length, 42), whole.mid(offset, length));
}

void StreamTest::patternDependsOnTheSeed()
{
    const QByteArray one = usbsim::pattern(0, 65536, 1);
    QVERIFY(one != usbsim::pattern(0, 65536, 2));
    QSet<char> values;
    for (const char c : one)
        values.insert(c);
    QCOMPARE(values.size(), 256);
}

namespace {
constexpr qint64 Ms = 1000 * 1000;

// Drains the queue on a simulated clock, writing everything due, and returns how many bytes
// were out at `untilNs`.
qint64 drainUntil(SendQueue &queue, qint64 startNs, qint64 untilNs, qint64 stepNs)
{
    qint64 sent = 0;
    for (qint64 now = startNs; now <= untilNs; now += stepNs) {
        for (;;) {
            const SendQueue::Due due = queue.due(now, 1 << 20);
            if (due.size == 0)
                break;
            queue.consume(due.size);
            sent += due.size;
        }
    }
    return sent;
}
} // namespace

void StreamTest::pacingFollowsTheRate_data()
{
    QTest::addColumn<qint64>("rate");
    QTest::newRow("10 B/s") << qint64(10);
    QTest::newRow("115200 baud") << qint64(11520);
    QTest::newRow("1 MB/s") << qint64(1000000);
}

void StreamTest::pacingFollowsTheRate()
{
    QFETCH(qint64, rate);
    SendQueue queue;
    queue.appendStream(rate * 100, rate, 1);
    const qint64 sent = drainUntil(queue, 0, 2000 * Ms, Ms);
    // Two seconds at `rate`, give or take one 20 ms burst and the first slice.
    QVERIFY2(qAbs(sent - 2 * rate) <= qMax<qint64>(2, rate / 25),
             qPrintable(QString::number(sent)));
    QCOMPARE(queue.pending(), rate * 100 - sent);
}

void StreamTest::pacingDoesNotCatchUpAfterAStall()
{
    const qint64 rate = 10000;
    SendQueue queue;
    queue.appendStream(rate * 10, rate, 1);
    drainUntil(queue, 0, 100 * Ms, Ms);
    // The terminal stalls for a second; afterwards only a short burst may go at once.
    const SendQueue::Due due = queue.due(1100 * Ms, 1 << 20);
    QVERIFY2(due.size <= rate / 50, qPrintable(QString::number(due.size)));
}

QTEST_GUILESS_MAIN(StreamTest)
#include "tst_stream.moc"
