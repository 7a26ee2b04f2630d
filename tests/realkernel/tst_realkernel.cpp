#include "ftdicapture.h"
#include "guestkorvix.h"
#include "guestvm.h"
#include "testmain.h"

#include <usbsim/pattern.h>

#include <QFile>
#include <QSettings>
#include <QTest>

namespace {

// Everything in the guest runs emulated, tens of times slower than on the host.
constexpr int Slow = 60000;

QString lines(const UsbSerialCable *cable)
{
    const ftdi::Lines now = ftdi::linesAfter(ftdi::vendorRequests(cable->capture()));
    return QStringLiteral("DTR %1, RTS %2").arg(now.dtr ? "high" : "low", now.rts ? "high" : "low");
}

// How long the first break held, from the request that set the data format's break bit to the
// next that cleared it, in microseconds; -1 until both are in the capture.
qint64 breakCleared(const UsbSerialCable *cable)
{
    constexpr quint16 breakBit = 1 << 14;
    qint64 setAt = -1;
    const QList<ftdi::VendorRequest> requests = ftdi::vendorRequests(cable->capture());
    for (const ftdi::VendorRequest &request : requests) {
        if (request.request != ftdi::SetDataFormat)
            continue;
        if (request.value & breakBit) {
            if (setAt < 0)
                setAt = request.microseconds;
        } else if (setAt >= 0) {
            return request.microseconds - setAt;
        }
    }
    return -1;
}

QByteArray logOf(const GuestKorvix &korvix)
{
    QFile log(korvix.home() + "/korvix.log");
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

} // namespace

// korvix against the kernel's own USB serial drivers: a guest that runs this machine's kernel,
// udev and X server, with QEMU's FTDI adapters, whose USB traffic shows DTR and RTS.
class tst_RealKernel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void aVidPidSearchTakesTheAdapterNotTheBuiltInUart();
    void linesLogAndAReplugUnderAnotherName();

private:
    std::unique_ptr<GuestVm> vm;
};

void tst_RealKernel::initTestCase()
{
    vm = std::make_unique<GuestVm>();
    if (!vm->boot())
        QSKIP(qPrintable("the guest cannot boot: " + vm->whyNot()));
    qInfo("the guest booted in %lld s", vm->bootMilliseconds() / 1000);
}

// Booting is what takes long; each function plugs the adapters it needs into an empty bus, so
// that it runs alone as well as after the others.
void tst_RealKernel::init()
{
    QVERIFY2(vm->unplugAll(), qPrintable(vm->whyNot()));
}

// With the input lamps shown, which a user chose in an earlier run.
void tst_RealKernel::aVidPidSearchTakesTheAdapterNotTheBuiltInUart()
{
    GuestKorvix korvix(*vm);
    {
        QSettings choices(korvix.home() + "/.config/velmorand/korvix.conf", QSettings::IniFormat);
        choices.setValue("extras/inputLines", true);
    }
    QVERIFY(korvix.start({"--filterVID", "0403", "--filterPID", "6001"},
                         {"QT_LOGGING_RULES=korvix.inputlines.debug=true"}));
    QTRY_VERIFY_WITH_TIMEOUT(korvix.traceCount("foundit = false") >= 2 ||
                                 korvix.traceCount("onConnect() open") > 0,
                             Slow);
    QCOMPARE(korvix.traceCount("onConnect() open"), 0);
    QVERIFY(korvix.traces().contains("location: /dev/ttyS0")); // listed, as on a PC

    UsbSerialCable *adapter = vm->plug("KVX-A");
    QVERIFY2(adapter, qPrintable(vm->whyNot()));
    QVERIFY(korvix.waitForTrace("Serial isopen true"));
    QCOMPARE(korvix.windowTitle(), "korvix " + adapter->portName() + " 115200");
    QTRY_COMPARE_WITH_TIMEOUT(lines(adapter), QString("DTR high, RTS high"), Slow);
    // The lamps show what the kernel reports (QEMU's adapter: CTS, DSR and DCD high).
    QByteArray reported;
    QCOMPARE(
        vm->run(qEnvironmentVariable("GUEST_MODEMLINES_BINARY") + " /dev/" + adapter->portName(),
                &reported),
        0);
    QVERIFY(korvix.waitForTrace("korvix.inputlines: " + QString(reported).trimmed()));
    QVERIFY(korvix.typeLine("AT+READ?"));
    QTRY_COMPARE_WITH_TIMEOUT(adapter->received(), QByteArray("AT+READ?\n"), Slow);
    QVERIFY(korvix.quit());
}

// The user has switched off the port's hang-up on close (stty -hupcl), as users of boards that
// reset on DTR do: only korvix itself can drop the lines at a disconnect.
void tst_RealKernel::linesLogAndAReplugUnderAnotherName()
{
    UsbSerialCable *adapter = vm->plug("KVX-A");
    QVERIFY2(adapter, qPrintable(vm->whyNot()));
    QCOMPARE(vm->run("stty -F /dev/" + adapter->portName() + " -hupcl"), 0);
    GuestKorvix korvix(*vm);
    QVERIFY(korvix.start({"--noStatusLines", "--forceLog", "--filterSN", "kvx-a"}));
    QVERIFY(korvix.waitForTrace("Serial isopen true"));
    QTRY_COMPARE_WITH_TIMEOUT(lines(adapter), QString("DTR low, RTS low"), Slow);
    const struct
    {
        const char *item;
        const char *lines;
    } clicks[] = {{"DTR", "DTR high, RTS low"},       {"RTS", "DTR high, RTS high"},
                  {"Disconnect", "DTR low, RTS low"}, {"Connect", "DTR high, RTS high"},
                  {"DTR", "DTR low, RTS high"},       {"RTS", "DTR low, RTS low"}};
    for (const auto &click : clicks) {
        QVERIFY2(korvix.clickToolBar(click.item), qPrintable(korvix.whyNot()));
        QTRY_COMPARE_WITH_TIMEOUT(lines(adapter), QString(click.lines), Slow);
    }
    // Extras, Send break: the chip's break bit (14 of the data format) set, and cleared no sooner
    // than the break's 250 ms.
    QVERIFY2(korvix.pickLastExtra("break on"), qPrintable(korvix.whyNot()));
    QVERIFY(korvix.waitForTrace("break off"));
    QTRY_VERIFY_WITH_TIMEOUT(breakCleared(adapter) >= 200000, Slow);

    const QByteArray first = usbsim::pattern(0, 20000, 1);
    adapter->send(first);
    QTRY_COMPARE_WITH_TIMEOUT(logOf(korvix).size(), first.size(), Slow);
    const QByteArray stream = usbsim::pattern(0, 1000000, 2);
    adapter->send(stream);
    QTRY_VERIFY_WITH_TIMEOUT(logOf(korvix).size() > first.size() + 5000, Slow);
    const QString oldName = adapter->portName();
    const QString openOld = "onConnect() try to open " + oldName + " brOk = true";
    const int opensOfOldName = korvix.traceCount(openOld);
    QVERIFY(vm->unplug(adapter));
    QVERIFY(korvix.waitForTrace("handleError() resourceerror fired"));

    // Another adapter takes the old name; the one korvix wants comes back under a new one.
    UsbSerialCable *other = vm->plug("KVX-B");
    QVERIFY(other && vm->replug(adapter));
    QCOMPARE(other->portName(), oldName);
    QVERIFY(korvix.waitForTrace("onConnect() try to open " + adapter->portName() + " brOk = true"));
    QVERIFY(korvix.waitForTrace("Serial isopen true", 3));
    QTRY_COMPARE_WITH_TIMEOUT(lines(adapter), QString("DTR low, RTS low"), Slow);
    // The kernel raised both as the port opened: they fall together, in the first request that
    // korvix makes (it does not ask the chip for their state first).
    const QList<ftdi::VendorRequest> requests = ftdi::vendorRequests(adapter->capture());
    const ftdi::Pulse dtr = ftdi::firstPulse(requests, ftdi::Line::Dtr);
    QVERIFY(dtr.rise >= 0 && dtr.fall == ftdi::firstPulse(requests, ftdi::Line::Rts).fall);
    for (int i = dtr.rise + 1; i < dtr.fall; ++i)
        QVERIFY(requests.at(i).request != ftdi::GetModemStatus);
    const QByteArray last = usbsim::pattern(0, 5000, 3);
    adapter->send(last);
    QTRY_VERIFY_WITH_TIMEOUT(logOf(korvix).endsWith(last), Slow);

    // One lost device; the log holds what came before, a clean prefix of the stream, and what
    // came after.
    QCOMPARE(korvix.traceCount("handleError() resourceerror fired"), 1);
    const QByteArray log = logOf(korvix);
    QVERIFY(log.startsWith(first));
    QVERIFY(stream.startsWith(log.mid(first.size(), log.size() - first.size() - last.size())));
    QCOMPARE(korvix.traceCount(openOld), opensOfOldName);
    QVERIFY(other->received().isEmpty());
    QVERIFY(korvix.quit());
}

KORVIX_TEST_MAIN(tst_RealKernel)
#include "tst_realkernel.moc"
