#include "adapters.h"
#include "console.h"
#include "harness.h"
#include "mainwindow.h"
#include "messagelog.h"
#include "testmain.h"
#include "windowprobe.h"

#include <QDialog>
#include <QSerialPortInfo>
#include <QSettings>
#include <QTest>

namespace {

struct Plugged
{
    QString name;
    int vendor;
    int product;
    QString serial;
};

} // namespace

Q_DECLARE_METATYPE(QList<Plugged>)

class tst_Reconnection : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings("velmorand", "korvix").clear(); }
    void cleanup() { adapters.clear(); }

    void startupFilters_data();
    void startupFilters();
    void moreThanOneMatchHandsOverToTheDialog();
    void afterAManualConnectTheFirstCandidateIsAdopted();

private:
    usbsim::Adapter *plug(const Plugged &p)
    {
        return adapters.plug(p.name, {quint16(p.vendor), quint16(p.product), p.serial});
    }
    testsupport::Adapters adapters;
};

void tst_Reconnection::startupFilters_data()
{
    QTest::addColumn<int>("vid");
    QTest::addColumn<int>("pid");
    QTest::addColumn<QString>("sn");
    QTest::addColumn<QList<Plugged>>("plugged");
    QTest::addColumn<QString>("connectsTo"); // "first listed" stands for the enumeration's first

    const Plugged ftdiA{"ttyUSB0", 0x0403, 0x6001, "AAA111"};
    const Plugged ftdiB{"ttyUSB1", 0x0403, 0x6001, "BBB222"};
    const Plugged arduino{"ttyACM0", 0x2341, 0x0043, "Ard-77"};
    const Plugged anonymous{"ttyACM1", 0x1a86, 0x7523, ""};
    const Plugged anonymousFtdi{"ttyUSB3", 0x0403, 0x6001, ""};
    const Plugged builtInUart{"ttyS0", 0, 0, ""}; // listed with no identity at all

    QTest::newRow("ids: the one device of the type")
        << 0x403 << 0x6001 << "" << QList<Plugged>{arduino, ftdiA} << "ttyUSB0";
    QTest::newRow("ids: two of the type, the first is adopted, no warning")
        << 0x403 << 0x6001 << "" << QList<Plugged>{ftdiA, ftdiB} << "first listed";
    QTest::newRow("ids: nothing of the type")
        << 0x403 << 0x6001 << "" << QList<Plugged>{arduino} << "";
    QTest::newRow("ids: ports without serial number of another type are not taken")
        << 0x403 << 0x6001 << "" << QList<Plugged>{builtInUart, anonymous} << "";
    QTest::newRow("ids: one of the type without serial number is taken")
        << 0x403 << 0x6001 << "" << QList<Plugged>{builtInUart, anonymousFtdi} << "ttyUSB3";
    QTest::newRow("sn: other letter case")
        << -1 << -1 << "ard-77" << QList<Plugged>{ftdiA, arduino} << "ttyACM0";
    QTest::newRow("sn: same ids, other serial is not taken")
        << -1 << -1 << "bbb222" << QList<Plugged>{ftdiA} << "";
    QTest::newRow("sn and ids: the serial decides")
        << 0x403 << 0x6001 << "bbb222" << QList<Plugged>{ftdiA, ftdiB} << "ttyUSB1";
    QTest::newRow("sn: a port without serial number never counts")
        << -1 << -1 << "aaa111" << QList<Plugged>{anonymous} << "";
}

void tst_Reconnection::startupFilters()
{
    QFETCH(int, vid);
    QFETCH(int, pid);
    QFETCH(QString, sn);
    QFETCH(QList<Plugged>, plugged);
    QFETCH(QString, connectsTo);

    for (const Plugged &p : plugged)
        plug(p);
    if (connectsTo == "first listed") {
        const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
        connectsTo = ports.first().portName();
    }

    CommandLineOptions options;
    options.vendorId = vid;
    options.productId = pid;
    options.serialNumber = sn;
    // A dialog here is a fault; rejected, it fails the row instead of blocking the test.
    testsupport::ModalDialogScript noDialog({testsupport::reject, testsupport::reject});
    MainWindow window(nullptr, &options);
    window.show();
    testsupport::MessageLog log;
    if (connectsTo.isEmpty()) {
        QTRY_COMPARE(log.count("onTryToReconnect()"), 2);
        QVERIFY(harness::looksDisconnected(&window));
        QCOMPARE(testsupport::statusText(&window), QString("Try to autoconnect"));
    } else {
        QTRY_VERIFY(harness::looksConnected(&window));
        QCOMPARE(window.windowTitle(), "korvix " + connectsTo + " 115200");
    }
    QCOMPARE(noDialog.answered(), 0);
}

void tst_Reconnection::moreThanOneMatchHandsOverToTheDialog()
{
    plug({"ttyUSB0", 0x0403, 0x6001, "TWIN"});
    plug({"ttyUSB1", 0x0403, 0x6001, "twin"});
    CommandLineOptions options;
    options.serialNumber = "twin";
    testsupport::MessageLog log;
    testsupport::ModalDialogScript script({testsupport::accept, testsupport::reject});
    MainWindow window(nullptr, &options);
    QTRY_COMPARE(script.answered(), 2);
    QCOMPARE(script.seen(), (QStringList{"QMessageBox: automatic reconnect found more than one "
                                         "device.\nNow configure manually.",
                                         "settingsdialog"}));
    // The search ends there: no attempt follows, not even after a search period.
    QTest::qWait(1200);
    QCOMPARE(log.count("onTryToReconnect()"), 1);
}

void tst_Reconnection::afterAManualConnectTheFirstCandidateIsAdopted()
{
    usbsim::Adapter *first = plug({"ttyUSB0", 0x0403, 0x6001, ""});
    const CommandLineOptions options;
    auto window = harness::connectedWindow(&options);

    // Same type, a serial number: a candidate by its identifiers, and the first one met.
    first->unplug();
    usbsim::Adapter *second = plug({"ttyUSB2", 0x0403, 0x6001, "SECOND"});
    QTRY_COMPARE(window->windowTitle(), QString("korvix ttyUSB2 115200"));
    QVERIFY(harness::looksConnected(window.get()));

    // From now on only the adopted serial number counts.
    testsupport::MessageLog log;
    second->unplug();
    QVERIFY(first->replug("ttyUSB0"));
    QTRY_COMPARE(log.count("onTryToReconnect()"), 2);
    QVERIFY(harness::looksDisconnected(window.get()));
    QVERIFY(second->replug("ttyUSB5"));
    QTRY_COMPARE(window->windowTitle(), QString("korvix ttyUSB5 115200"));
    QVERIFY(harness::looksConnected(window.get()));
    QCOMPARE(log.count("########### portname changed between autoconnect "), 1);
}

KORVIX_TEST_MAIN(tst_Reconnection)
#include "tst_reconnection.moc"
