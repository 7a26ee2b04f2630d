#include "commandline.h"
#include "isolatedhome.h"
#include "messagelog.h"
#include "testmain.h"

#include <QProcess>
#include <QTest>

KORVIX_ISOLATE_HOME

using commandline::Outcome;

namespace {

const QStringList usage = {
    "\nUsage: korvix [options]",
    "Options:",
    "    --help -h -?           : print helpmessage and exit program",
    "    --filterSN <argument>  : filter devices to match Serialnum of Device",
    "    --filterVID <argument> : filter devices to match the Vendor ID (hexadecimal)",
    "    --filterPID <argument> : filter devices to match the Product ID (hexadecimal)",
    "    --noStatusLines        : do not set DTR and RTS on Connect",
    "    --forceLog             : force Logfile creation at default location and start it",
    "    --baudrate <argument>  : set baudrate (decimal)",
    "    -b <argument>          : set baudrate (decimal)",
};
const QString unrecognised = "error: there are unrecognized parameters in the commandline";
const QString errorLine = "##################### Error in Commandline #######";

QString describe(const CommandLineOptions &o)
{
    return QString("nsl=%1 log=%2 vid=%3 pid=%4 baud=%5 echo=%6 sn=%7")
        .arg(o.noStatusLines)
        .arg(o.forceLog)
        .arg(o.vendorId)
        .arg(o.productId)
        .arg(o.baudRate)
        .arg(o.localEcho)
        .arg(o.serialNumber);
}

const QString defaults = "nsl=0 log=0 vid=-1 pid=-1 baud=115200 echo=-1 sn=";

} // namespace

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void binaryAnswersWithoutDisplay_data();
    void binaryAnswersWithoutDisplay();
};

void tst_CommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QStringList>("messages");

    const int run = int(Outcome::Run), help = int(Outcome::Help), bad = int(Outcome::Bad);
    const QStringList rejectedUnknown = QStringList{unrecognised, errorLine} + usage;
    const QStringList rejectedValue = QStringList{errorLine} + usage;

    QTest::newRow("no options") << QStringList{} << run << defaults << QStringList{};
    QTest::newRow("help after unknown")
        << QStringList{"--bogus", "-h"} << help << defaults << usage;
    QTest::newRow("-b takes -h as value")
        << QStringList{"-b", "-h"} << bad
        << "nsl=0 log=0 vid=-1 pid=-1 baud=-1 echo=-1 sn=" << rejectedValue;
    QTest::newRow("lone -b") << QStringList{"-b"} << bad
                             << "nsl=0 log=0 vid=-1 pid=-1 baud=-1 echo=-1 sn=" << rejectedUnknown;
    QTest::newRow("-b 9600") << QStringList{"-b", "9600"} << run
                             << "nsl=0 log=0 vid=-1 pid=-1 baud=9600 echo=-1 sn=" << QStringList{};
    QTest::newRow("-b 9k6") << QStringList{"-b", "9k6"} << bad
                            << "nsl=0 log=0 vid=-1 pid=-1 baud=-1 echo=-1 sn=" << rejectedValue;
    QTest::newRow("hex ids any case")
        << QStringList{"--FilterVID", "1a", "--filterpid", "2B"} << run
        << "nsl=0 log=0 vid=26 pid=43 baud=115200 echo=-1 sn=" << QStringList{};
    QTest::newRow("serial number lower-cased")
        << QStringList{"--filterSN", "ABC123"} << run
        << "nsl=0 log=0 vid=-1 pid=-1 baud=115200 echo=-1 sn=abc123" << QStringList{};
    QTest::newRow("serial number is taken whatever it looks like")
        << QStringList{"--filtersn", "--forcelog"} << run
        << "nsl=0 log=0 vid=-1 pid=-1 baud=115200 echo=-1 sn=--forcelog" << QStringList{};
    QTest::newRow("--localecho 1")
        << QStringList{"--localecho", "1"} << run
        << "nsl=0 log=0 vid=-1 pid=-1 baud=115200 echo=1 sn=" << QStringList{"localecho 1"};
    QTest::newRow("--localecho a is hexadecimal")
        << QStringList{"--LOCALECHO", "a"} << run
        << "nsl=0 log=0 vid=-1 pid=-1 baud=115200 echo=10 sn=" << QStringList{"localecho 10"};
    QTest::newRow("--localecho z") << QStringList{"--localecho", "z"} << bad
                                   << "nsl=0 log=0 vid=-1 pid=-1 baud=115200 echo=-1 sn="
                                   << QStringList{"localecho -1"} + rejectedValue;
    QTest::newRow("switches twice")
        << QStringList{"--forcelog", "--ForceLog", "--NOSTATUSLINES"} << run
        << "nsl=1 log=1 vid=-1 pid=-1 baud=115200 echo=-1 sn=" << QStringList{};
    QTest::newRow("later value wins")
        << QStringList{"-b", "300", "--baudrate", "1200"} << run
        << "nsl=0 log=0 vid=-1 pid=-1 baud=1200 echo=-1 sn=" << QStringList{};
    QTest::newRow("empty argument") << QStringList{""} << bad << defaults << rejectedUnknown;
    QTest::newRow("stray value") << QStringList{"-b", "9600", "19200"} << bad
                                 << "nsl=0 log=0 vid=-1 pid=-1 baud=9600 echo=-1 sn="
                                 << rejectedUnknown;
}

void tst_CommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, outcome);
    QFETCH(QString, fields);
    QFETCH(QStringList, messages);

    CommandLineOptions options;
    testsupport::MessageLog log;
    const Outcome result = commandline::parse(QStringList{"korvix"} + arguments, &options);

    QCOMPARE(int(result), outcome);
    QCOMPARE(log.messages(), messages);
    if (result != Outcome::Help)
        QCOMPARE(describe(options), fields);
    QCOMPARE(commandline::exitCode(result), result == Outcome::Bad ? 1 : 0);
}

void tst_CommandLine::binaryAnswersWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("firstLines");

    QTest::newRow("--help") << QStringList{"--help"} << 0 << QStringList{""} + usage;
    QTest::newRow("bad value") << QStringList{"-b", "fast"} << 1
                               << QStringList{errorLine, ""} + usage;
}

void tst_CommandLine::binaryAnswersWithoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, firstLines);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    QProcess korvix;
    korvix.setProcessEnvironment(environment);
    korvix.start(qEnvironmentVariable("KORVIX_BINARY"), arguments);
    QVERIFY(korvix.waitForFinished(20000));
    QCOMPARE(korvix.exitStatus(), QProcess::NormalExit);
    QCOMPARE(korvix.exitCode(), exitCode);
    QCOMPARE(korvix.readAllStandardOutput(), QByteArray());

    // The usage lines expand "\n" into an empty line; the first message starts with it.
    QStringList expected;
    for (const QString &line : firstLines)
        expected += line.split('\n');
    const QStringList written = QString::fromLocal8Bit(korvix.readAllStandardError())
                                    .split('\n', Qt::SkipEmptyParts, Qt::CaseSensitive);
    expected.removeAll(QString());
    QCOMPARE(written, expected);
}

KORVIX_TEST_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
