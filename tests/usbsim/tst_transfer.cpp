#include "portsupport.h"

#include <isolatedhome.h>
#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QtTest>

using usbsim::Adapter;
using usbsimtest::Terminal;

KORVIX_ISOLATE_HOME

namespace {
constexpr int BigStream = 10 * 1024 * 1024;
constexpr int BigTimeoutMs = 120 * 1000; // ASan builds are slow; the bench measures speed

QByteArray allByteValues()
{
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(char(value));
    return bytes;
}
} // namespace

class TransferTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void everyByteValueReachesTheTerminal();
    void everyByteValueReachesTheDevice();
    void bytesSentBeforeOpenArriveUnchanged();
    void aStalledTerminalHoldsTheDeviceBack();
    void bigStreamToTheTerminal();
    void bigStreamFromTheTerminal();
    void pacedSendsKeepContentAndOrder();

private:
    Adapter *adapter = nullptr;
    Terminal *terminal = nullptr;
};

void TransferTest::init()
{
    adapter = new Adapter(usbsim::UsbIdentity(), this);
    terminal = new Terminal(this);
    QVERIFY2(adapter->plug(QStringLiteral("ttyUSB0")), qPrintable(adapter->errorString()));
}

void TransferTest::cleanup()
{
    delete terminal;
    delete adapter;
}

void TransferTest::everyByteValueReachesTheTerminal()
{
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    QSignalSpy allSent(adapter, &Adapter::allSent);
    adapter->send(allByteValues());
    QTRY_COMPARE(terminal->data.size(), 256);
    QCOMPARE(terminal->data, allByteValues());
    QCOMPARE(allSent.count(), 1);
    QCOMPARE(adapter->bytesPendingToSend(), 0);
}

void TransferTest::everyByteValueReachesTheDevice()
{
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    QSignalSpy chunks(adapter, &Adapter::bytesReceived);
    terminal->port().write(allByteValues());
    QTRY_COMPARE(adapter->received().size(), 256);
    QCOMPARE(adapter->received(), allByteValues());
    QByteArray joined;
    for (const QList<QVariant> &chunk : qAsConst(chunks))
        joined += chunk.at(0).toByteArray();
    QCOMPARE(joined, allByteValues());
    QCOMPARE(terminal->data, QByteArray()); // nothing echoed back
}

void TransferTest::bytesSentBeforeOpenArriveUnchanged()
{
    // Line-discipline bait: CR, LF, ^C, ^D, ^S, ^Q, DEL and backspace.
    const QByteArray bytes("AT\r\n\x03\x04\x13\x11\x7f\b\r\rend\n", 17);
    adapter->send(bytes);
    QTRY_COMPARE(adapter->bytesPendingToSend(), 0);
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    QTRY_COMPARE(terminal->data.size(), bytes.size());
    QCOMPARE(terminal->data, bytes);
    QCOMPARE(adapter->received(), QByteArray());
}

void TransferTest::aStalledTerminalHoldsTheDeviceBack()
{
    const int size = 2 * 1024 * 1024; // far more than a pseudo-terminal buffers
    adapter->sendStream(size, 0, 5);
    QTest::qWait(0);
    QVERIFY(adapter->bytesPendingToSend() > 0); // back-pressured, not dropped
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    QTRY_COMPARE_WITH_TIMEOUT(terminal->data.size(), size, BigTimeoutMs);
    QVERIFY(terminal->data == usbsim::pattern(0, size, 5));
}

void TransferTest::bigStreamToTheTerminal()
{
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    adapter->sendStream(BigStream, 0, 7);
    QTRY_COMPARE_WITH_TIMEOUT(terminal->data.size(), BigStream, BigTimeoutMs);
    QVERIFY(terminal->data == usbsim::pattern(0, BigStream, 7));
}

void TransferTest::bigStreamFromTheTerminal()
{
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    const QByteArray stream = usbsim::pattern(0, BigStream, 11);
    QCOMPARE(terminal->port().write(stream), qint64(BigStream));
    QTRY_COMPARE_WITH_TIMEOUT(adapter->received().size(), BigStream, BigTimeoutMs);
    QVERIFY(adapter->received() == stream);
}

void TransferTest::pacedSendsKeepContentAndOrder()
{
    QVERIFY(terminal->open(QStringLiteral("ttyUSB0")));
    adapter->send("head:", 2000);
    adapter->sendStream(3000, 100000, 3);
    adapter->send(":tail");
    const QByteArray expected = "head:" + usbsim::pattern(0, 3000, 3) + ":tail";
    QTRY_COMPARE(terminal->data.size(), expected.size());
    QCOMPARE(terminal->data, expected);
}

QTEST_GUILESS_MAIN(TransferTest)
#include "tst_transfer.moc"
