// usbsim: the sandbox, and simulated adapters for scripts (see README.md).

#include "sandbox.h"

#include <usbsim/adapter.h>
#include <usbsim/personality.h>
#include <usbsim/replay.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSerialPortInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/signalfd.h>

namespace {

constexpr int Failed = 1;
constexpr int Usage = 2;
constexpr int ReplayFailed = 3;
constexpr double MaxSlackSeconds = 24 * 3600;

const char OverallUsage[] =
    "Usage: usbsim sandbox [--] [COMMAND [ARGS...]]\n"
    "       usbsim adapter NAME [OPTIONS]\n"
    "       usbsim ports\n"
    "\n"
    "Simulated USB serial adapters that Qt enumerates and opens, inside a sandbox where they\n"
    "are the only serial ports. `usbsim sandbox --help` and `usbsim adapter --help` say more;\n"
    "`usbsim ports` lists the ports as QSerialPortInfo::availablePorts() sees them.\n";

const char AdapterUsage[] =
    "Usage: usbsim adapter NAME [--vid HEX] [--pid HEX] [--serial SN] [--manufacturer TEXT]\n"
    "           [--product TEXT] [--personality none|echo|demo] [--busy]\n"
    "           [--generate N] [--replay FILE [--speed S] [--timeout SECONDS]]\n"
    "\n"
    "Plugs a simulated USB serial adapter in as /dev/NAME (ttyUSB0, ttyACM3, ...), prints\n"
    "\"plugged /dev/NAME\" and holds it until SIGTERM, SIGINT or SIGHUP unplug it. Runs only\n"
    "inside `usbsim sandbox`. The identity defaults to an FTDI FT232R (0403:6001, \"FTDI\",\n"
    "\"FT232R USB UART\") without a serial number. A NAME of ttyS and a number (ttyS0) is the\n"
    "machine's own UART instead: listed with no USB identity at all.\n"
    "\n"
    "  --personality   none (silent), echo (sends back what it receives) or demo (a sensor:\n"
    "                  a banner on open, a reading every second, answers to AT commands)\n"
    "  --busy          holds the port's lock file: isBusy() is true, QSerialPort::open fails\n"
    "  --generate N    sends N bytes of usbsim::pattern(0, N), as fast as the terminal reads\n"
    "  --replay FILE   plays the device of an umockdev script (korvix --record, umockdev-record\n"
    "                  -s) once a terminal opens the port: sends each \"r\" after its delay\n"
    "                  divided by --speed (default 1), waits at each \"w\" until the terminal\n"
    "                  has written those bytes, for the recorded delay and --timeout (default\n"
    "                  10 s) at most; a write that differs or does not come ends the replay\n"
    "\n"
    "Exit status: 0 after a signal, 1 when the adapter cannot be plugged, 2 on a bad command\n"
    "line or script, 3 when the terminal did not write what the script says.\n";

void print(FILE *out, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), out);
    std::fflush(out);
}

int fail(const QString &message, int status = Failed)
{
    print(stderr, QStringLiteral("usbsim: %1\n").arg(message));
    return status;
}

// The signals that unplug, taken through a signalfd so that the adapter's destructor runs.
// Blocked before Qt can start a thread, which would otherwise inherit them unblocked.
sigset_t blockStopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&set, sig);
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
    return set;
}

bool hexOption(const QCommandLineParser &parser, const QString &name, quint16 *value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    *value = parser.value(name).toUShort(&ok, 16);
    return ok;
}

int runAdapter(const QStringList &arguments, const sigset_t &stopSignals)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QString none = QStringLiteral("none");
    parser.addOptions(
        {{QStringLiteral("vid"), QString(), QStringLiteral("HEX")},
         {QStringLiteral("pid"), QString(), QStringLiteral("HEX")},
         {QStringLiteral("serial"), QString(), QStringLiteral("SN")},
         {QStringLiteral("manufacturer"), QString(), QStringLiteral("TEXT")},
         {QStringLiteral("product"), QString(), QStringLiteral("TEXT")},
         {QStringLiteral("personality"), QString(), QStringLiteral("NAME"), none},
         {QStringLiteral("busy"), QString()},
         {QStringLiteral("generate"), QString(), QStringLiteral("N")},
         {QStringLiteral("replay"), QString(), QStringLiteral("FILE")},
         {QStringLiteral("speed"), QString(), QStringLiteral("S"), QStringLiteral("1")},
         {QStringLiteral("timeout"), QString(), QStringLiteral("SECONDS"), QStringLiteral("10")},
         {{QStringLiteral("h"), QStringLiteral("help")}, QString()}});
    const QString seeHelp = QStringLiteral(" (see usbsim adapter --help)");
    if (!parser.parse(arguments))
        return fail(parser.errorText() + seeHelp, Usage);
    if (parser.isSet(QStringLiteral("help"))) {
        print(stdout, QString::fromLatin1(AdapterUsage));
        return 0;
    }
    usbsim::UsbIdentity identity;
    identity.serialNumber = parser.value(QStringLiteral("serial"));
    if (parser.isSet(QStringLiteral("manufacturer")))
        identity.manufacturer = parser.value(QStringLiteral("manufacturer"));
    if (parser.isSet(QStringLiteral("product")))
        identity.product = parser.value(QStringLiteral("product"));
    bool generateOk = true;
    const qint64 generate = parser.value(QStringLiteral("generate")).toLongLong(&generateOk);
    const QString replayFile = parser.value(QStringLiteral("replay"));
    const bool replaying = parser.isSet(QStringLiteral("replay"));
    const double speed = parser.value(QStringLiteral("speed")).toDouble();
    const double slackSeconds = parser.value(QStringLiteral("timeout")).toDouble();
    QString problem;
    if (parser.positionalArguments().size() != 1)
        problem = QStringLiteral("expected one port NAME, such as ttyUSB0");
    else if (!hexOption(parser, QStringLiteral("vid"), &identity.vendorId) ||
             !hexOption(parser, QStringLiteral("pid"), &identity.productId))
        problem = QStringLiteral("--vid and --pid take up to 4 hex digits, such as 0403");
    else if (parser.isSet(QStringLiteral("generate")) && (!generateOk || generate < 0))
        problem = QStringLiteral("--generate takes a count of bytes");
    else if (!(speed > 0) || !(slackSeconds >= 0 && slackSeconds <= MaxSlackSeconds))
        problem = QStringLiteral("--speed takes a number above 0, --timeout one of seconds");
    else if (replaying && parser.value(QStringLiteral("personality")) != none)
        problem = QStringLiteral("a replay is the device: it takes no personality");
    if (!problem.isEmpty())
        return fail(problem + seeHelp, Usage);
    const umockdevscript::Script script =
        replaying ? umockdevscript::read(replayFile) : umockdevscript::Script();
    if (!script.error.isEmpty())
        return fail(
            QStringLiteral("%1:%2: %3").arg(replayFile).arg(script.errorLine).arg(script.error),
            Usage);

    usbsim::Adapter adapter(identity);
    if (!usbsim::attachPersonality(parser.value(QStringLiteral("personality")), &adapter))
        return fail(QStringLiteral("unknown personality") + seeHelp, Usage);
    // Nobody reads received() here; dropping it keeps a long session from growing the process.
    QObject::connect(&adapter, &usbsim::Adapter::bytesReceived, &adapter,
                     &usbsim::Adapter::clearReceived);
    const QString name = parser.positionalArguments().constFirst();
    if (!adapter.plug(name) || (parser.isSet(QStringLiteral("busy")) && !adapter.setBusy(true)))
        return fail(QStringLiteral("%1: %2").arg(name, adapter.errorString()));
    adapter.sendStream(generate);
    if (replaying) {
        auto *replay = new usbsim::Replay(&adapter, script.operations, speed);
        replay->setWriteSlack(int(slackSeconds * 1000));
        // The terminal sees the device hang up, as when a real one stops answering.
        QObject::connect(replay, &usbsim::Replay::failed, [&replayFile](const QString &report) {
            print(stderr,
                  QStringLiteral("usbsim: replay of %1 stopped at %2\n").arg(replayFile, report));
            QCoreApplication::exit(ReplayFailed);
        });
    }

    const int stopFd = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (stopFd < 0)
        return fail(QStringLiteral("cannot take signals"));
    QSocketNotifier stop(stopFd, QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    print(stdout, QStringLiteral("plugged %1\n").arg(adapter.systemLocation()));
    return QCoreApplication::exec(); // 0 after a signal, or ReplayFailed
}

int listPorts()
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports) {
        const QString usbId = port.hasVendorIdentifier()
                                  ? QStringLiteral("%1:%2")
                                        .arg(port.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                                        .arg(port.productIdentifier(), 4, 16, QLatin1Char('0'))
                                  : QStringLiteral("-");
        print(stdout,
              QStringLiteral("%1\t%2\t%3\t%4\tbusy=%5\t\"%6\" \"%7\"\n")
                  .arg(port.portName(), port.systemLocation(), usbId,
                       port.serialNumber().isEmpty() ? QStringLiteral("-") : port.serialNumber(),
                       port.isBusy() ? QStringLiteral("yes") : QStringLiteral("no"),
                       port.manufacturer(), port.description()));
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const char *command = argc >= 2 ? argv[1] : "";
    // Before anything that might start a thread: namespaces cannot be entered after.
    if (std::strcmp(command, "sandbox") == 0)
        return usbsim::runSandbox(argc, argv);
    const bool adapter = std::strcmp(command, "adapter") == 0;
    const sigset_t stopSignals = adapter ? blockStopSignals() : sigset_t();
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (adapter)
        return runAdapter(arguments.mid(1), stopSignals);
    if (std::strcmp(command, "ports") == 0 && argc == 2)
        return listPorts();
    const bool help = std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0;
    print(help ? stdout : stderr, QString::fromLatin1(OverallUsage));
    return help ? 0 : Usage;
}
