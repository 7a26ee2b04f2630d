#include "commandline.h"
#include "messagelog.h"
#include "testmain.h"

#include <QProcess>
#include <QTest>

using commandline::Outcome;

namespace {

// As the program writes it; the package test holds its options to the manual page.
QStringList usage()
{
    testsupport::MessageLog log;
    commandline::printUsage();
    return log.messages();
}

const QString unrecognised = "error: there are unrecognized parameters in the commandline";
const QString errorLine = "##################### Error in Commandline #######";

// The fields that differ from the defaults, as in "baud=9600 sn=abc".
QString changedFields(const CommandLineOptions &o)
{
    const CommandLineOptions d;
    QStringList fields;
    const auto add = [&fields](const char *name, auto value, auto initial) {
        if (value != initial)
            fields << QString("%1=%2").arg(name).arg(value);
    };
    add("nsl", o.noStatusLines, d.noStatusLines);
    add("log", o.forceLog, d.forceLog);
    add("vid", o.vendorId, d.vendorId);
    add("pid", o.productId, d.productId);
    add("baud", o.baudRate, d.baudRate);
    add("echo", o.localEcho, d.localEcho);
    add("sn", o.serialNumber, d.serialNumber);
    add("stamps", o.timestamps, d.timestamps);
    return fields.join(' ');
}

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
    const QStringList rejectedUnknown = QStringList{unrecognised, errorLine} + usage();
    const QStringList rejectedValue = QStringList{errorLine} + usage();

    QTest::newRow("no options") << QStringList{} << run << "" << QStringList{};
    QTest::newRow("help after unknown") << QStringList{"--bogus", "-h"} << help << "" << usage();
    QTest::newRow("-?") << QStringList{"-?"} << help << "" << usage();
    QTest::newRow("-b takes -h as value")
        << QStringList{"-b", "-h"} << bad << "baud=-1" << rejectedValue;
    QTest::newRow("lone -b") << QStringList{"-b"} << bad << "baud=-1" << rejectedUnknown;
    QTest::newRow("hex ids any case") << QStringList{"--FilterVID", "1a", "--filterpid", "2B"}
                                      << run << "vid=26 pid=43" << QStringList{};
    QTest::newRow("serial number taken as it comes, lower-cased")
        << QStringList{"--filterSN", "--ForceLog"} << run << "sn=--forcelog" << QStringList{};
    QTest::newRow("--localecho is hexadecimal")
        << QStringList{"--LOCALECHO", "a"} << run << "echo=10" << QStringList{"localecho 10"};
    QTest::newRow("--localecho z") << QStringList{"--localecho", "z"} << bad << ""
                                   << QStringList{"localecho -1"} + rejectedValue;
    QTest::newRow("switches twice") << QStringList{"--forcelog", "--ForceLog", "--NOSTATUSLINES"}
                                    << run << "nsl=1 log=1" << QStringList{};
    QTest::newRow("later value wins")
        << QStringList{"-b", "300", "--baudrate", "1200"} << run << "baud=1200" << QStringList{};
    QTest::newRow("--timestamps, a form in any case")
        << QStringList{"--TimeStamps", "Since-Line"} << run << "stamps=since-line" << QStringList{};
    QTest::newRow("--timestamps, a form it does not know")
        << QStringList{"--timestamps", "ms"} << bad << "" << rejectedValue;
    QTest::newRow("lone --timestamps")
        << QStringList{"--timestamps"} << bad << "" << rejectedUnknown;
    QTest::newRow("empty argument") << QStringList{""} << bad << "" << rejectedUnknown;
    QTest::newRow("stray value") << QStringList{"-b", "9600", "19200"} << bad << "baud=9600"
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
    QCOMPARE(int(commandline::parse(QStringList{"korvix"} + arguments, &options)), outcome);
    QCOMPARE(log.messages(), messages);
    QCOMPARE(changedFields(options), fields);
}

void tst_CommandLine::binaryAnswersWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("--help") << QStringList{"--help"} << 0 << usage();
    QTest::newRow("bad value") << QStringList{"-b", "fast"} << 1
                               << QStringList{errorLine} + usage();
    QTest::newRow("good") << QStringList{"-b", "9600"} << 1
                          << QStringList{"korvix needs a display: neither DISPLAY nor "
                                         "WAYLAND_DISPLAY is set"};
}

// Everything on standard error, one line per message.
void tst_CommandLine::binaryAnswersWithoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, messages);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QT_MESSAGE_PATTERN"})
        environment.remove(name);
    QProcess korvix;
    korvix.setProcessEnvironment(environment);
    korvix.start(qEnvironmentVariable("KORVIX_BINARY"), arguments);
    QVERIFY(korvix.waitForFinished(20000));
    QCOMPARE(korvix.exitStatus(), QProcess::NormalExit);
    QCOMPARE(korvix.exitCode(), exitCode);
    QCOMPARE(korvix.readAllStandardOutput(), QByteArray());
    QCOMPARE(QString::fromLocal8Bit(korvix.readAllStandardError()), messages.join('\n') + '\n');
}

KORVIX_TEST_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
