#include "console.h"
#include "harness.h"
#include "isolatedhome.h"
#include "mainwindow.h"
#include "messagelog.h"
#include "windowprobe.h"

#include <usbsim/adapter.h>

#include <QDialog>
#include <QSerialPortInfo>
#include <QSettings>
#include <QTest>

#include <memory>
#include <vector>

KORVIX_ISOLATE_HOME

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
    void initTestCase() { QVERIFY2(usbsim::insideSandbox(), "run inside usbsim sandbox"); }
    void init() { QSettings("velmorand", "korvix").clear(); }
    void cleanup() { adapters.clear(); }

    void startupFilters_data();
    void startupFilters();
    void moreThanOneMatchHandsOverToTheDialog();
    void retriesEverySecondThenConnectsAfterAMatch();
    void afterAManualConnectTheFirstCandidateIsAdopted();
    void manyLostDeviceErrorsMakeOneChain();

private:
    usbsim::Adapter *plug(const Plugged &p);
    std::vector<std::unique_ptr<usbsim::Adapter>> adapters;
};

usbsim::Adapter *tst_Reconnection::plug(const Plugged &p)
{
    usbsim::UsbIdentity identity;
    identity.vendorId = quint16(p.vendor);
    identity.productId = quint16(p.product);
    identity.serialNumber = p.serial;
    adapters.push_back(std::make_unique<usbsim::Adapter>(identity));
    if (!adapters.back()->plug(p.name))
        qFatal("cannot plug %s: %s", qPrintable(p.name),
               qPrintable(adapters.back()->errorString()));
    return adapters.back().get();
}

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

    QTest::newRow("ids: the one device of the type")
        << 0x403 << 0x6001 << "" << QList<Plugged>{arduino, ftdiA} << "ttyUSB0";
    QTest::newRow("ids: two of the type, the first is adopted, no warning")
        << 0x403 << 0x6001 << "" << QList<Plugged>{ftdiA, ftdiB} << "first listed";
    QTest::newRow("ids: nothing of the type")
        << 0x403 << 0x6001 << "" << QList<Plugged>{arduino} << "";
    QTest::newRow("ids: a port without serial number is a candidate")
        << 0x403 << 0x6001 << "" << QList<Plugged>{anonymous} << "ttyACM1";
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
    testsupport::ModalDialogScript noDialog({});
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
    testsupport::ModalDialogScript script({testsupport::accept, testsupport::reject});
    MainWindow window(nullptr, &options);
    QTRY_COMPARE(script.answered(), 2);
    QCOMPARE(script.seen(), (QStringList{"QMessageBox: automatic reconnect found more than one "
                                         "device.\nNow configure manually.",
                                         "settingsdialog"}));
}

void tst_Reconnection::retriesEverySecondThenConnectsAfterAMatch()
{
    CommandLineOptions options;
    options.vendorId = 0x0403;
    options.productId = 0x6001;
    testsupport::MessageLog log;
    MainWindow window(nullptr, &options);
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(log.count("onTryToReconnect()"), 3, 4000);
    usbsim::Adapter *adapter = plug({"ttyUSB3", 0x0403, 0x6001, "LATE"});
    QTRY_VERIFY_WITH_TIMEOUT(harness::looksConnected(&window), 3000);

    const QList<qint64> attempts = log.timesOf("onTryToReconnect()");
    for (int i = 1; i < attempts.size(); ++i) {
        const qint64 gap = attempts.at(i) - attempts.at(i - 1);
        QVERIFY2(gap >= 950 && gap < 1600, qPrintable(QString("gap %1 ms").arg(gap)));
    }
    const qint64 planned = log.timesOf("planned: onConnect()").value(0, -1);
    const qint64 connecting = log.timesOf("brate = 115200").value(0, -1);
    QVERIFY(planned >= 0);
    QVERIFY2(connecting - planned >= 45 && connecting - planned < 500,
             qPrintable(QString("%1 ms").arg(connecting - planned)));
    QCOMPARE(log.count("brate = 115200"), 1);

    QTest::keyClicks(harness::console(&window), "hello\r");
    QTRY_COMPARE(adapter->received(), QByteArray("hello\n"));
}

void tst_Reconnection::afterAManualConnectTheFirstCandidateIsAdopted()
{
    usbsim::Adapter *first = plug({"ttyUSB0", 0x0403, 0x6001, "FIRST"});
    const CommandLineOptions options;
    auto window = harness::startWithDialog(&options);
    QTRY_VERIFY(harness::looksConnected(window.get()));

    // Same type, other serial number: a candidate by its identifiers, and the first one met.
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
}

void tst_Reconnection::manyLostDeviceErrorsMakeOneChain()
{
    usbsim::Adapter *adapter = plug({"ttyUSB0", 0x0403, 0x6001, "ONE"});
    CommandLineOptions options;
    options.serialNumber = "one";
    MainWindow window(nullptr, &options);
    window.show();
    QTRY_VERIFY(harness::looksConnected(&window));

    testsupport::MessageLog log;
    adapter->unplug();
    for (int i = 0; i < 20; ++i)
        QMetaObject::invokeMethod(&window, "handleError",
                                  Q_ARG(QSerialPort::SerialPortError, QSerialPort::ResourceError));
    QTest::qWait(3300);
    const int attempts = log.count("onTryToReconnect()");
    QVERIFY2(attempts >= 3 && attempts <= 4, qPrintable(QString::number(attempts)));
}

QTEST_MAIN(tst_Reconnection)
#include "tst_reconnection.moc"
