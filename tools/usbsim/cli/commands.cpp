#include "commands.h"

#include "control.h"
#include "daemon.h"
#include "launcher.h"
#include "parse.h"

#include "../lib/paths.h"

#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSerialPortInfo>
#include <QThread>

#include <cstdio>

namespace usbsim {

namespace {

constexpr int Done = 0;
constexpr int Failed = 1;
constexpr int Usage = 2;
constexpr int RequestTimeoutMs = 10000;

struct Command
{
    const char *name;
    const char *synopsis;
    const char *help;
    int (*run)(const QString &name, const QStringList &arguments);
};

void print(FILE *out, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), out);
    std::fflush(out);
}

int fail(const QString &command, const QString &message, int status = Failed)
{
    print(stderr, QStringLiteral("usbsim %1: %2\n").arg(command, message));
    return status;
}

int usageError(const QString &command, const QString &message)
{
    return fail(command, message + QStringLiteral(" (see usbsim %1 --help)").arg(command), Usage);
}

// Parses `arguments` (options and positionals after the command name) and checks the number
// of positionals; prints the error itself.
bool parseArguments(QCommandLineParser &parser, const QString &command,
                    const QStringList &arguments, int minPositional, int maxPositional, int *status)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(QStringList(QStringLiteral("usbsim")) + arguments)) {
        *status = usageError(command, parser.errorText());
        return false;
    }
    const int count = parser.positionalArguments().size();
    if (count < minPositional || count > maxPositional) {
        *status = usageError(command, count < minPositional ? QStringLiteral("missing arguments")
                                                            : QStringLiteral("too many arguments"));
        return false;
    }
    return true;
}

bool requireSandbox(const QString &command, int *status)
{
    if (insideSandbox())
        return true;
    *status = fail(command, QStringLiteral("not inside a usbsim sandbox; adapter commands only run "
                                           "under `usbsim sandbox -- COMMAND`"));
    return false;
}

// Every command naming an adapter: checks the id, the sandbox, and calls the daemon.
int callAdapter(const QString &command, const QString &id, const QJsonObject &request,
                int timeoutMs = RequestTimeoutMs, QJsonObject *result = nullptr)
{
    QString error;
    if (!parse::adapterId(id, &error))
        return usageError(command, error);
    int status = Done;
    if (!requireSandbox(command, &status))
        return status;
    const QJsonObject answer = control::call(id, request, timeoutMs);
    if (result)
        *result = answer;
    if (!answer.value(QStringLiteral("ok")).toBool())
        return fail(command, answer.value(QStringLiteral("error")).toString());
    return Done;
}

QString describe(const QJsonObject &status)
{
    const QString serial = status.value(QStringLiteral("serialNumber")).toString();
    return QStringLiteral("%1\t%2\t%3\t%4\t%5\topen=%6\tbusy=%7\treceived=%8\tpending=%9\t")
               .arg(status.value(QStringLiteral("id")).toString(),
                    status.value(QStringLiteral("port")).toString(),
                    status.value(QStringLiteral("plugged")).toBool() ? QStringLiteral("plugged")
                                                                     : QStringLiteral("unplugged"),
                    status.value(QStringLiteral("usbId")).toString(),
                    serial.isEmpty() ? QStringLiteral("-") : serial,
                    status.value(QStringLiteral("open")).toBool() ? QStringLiteral("yes")
                                                                  : QStringLiteral("no"),
                    status.value(QStringLiteral("busy")).toBool() ? QStringLiteral("yes")
                                                                  : QStringLiteral("no"))
               .arg(qint64(status.value(QStringLiteral("received")).toDouble()))
               .arg(qint64(status.value(QStringLiteral("pending")).toDouble())) +
           QStringLiteral("personality=%1\t\"%2\" \"%3\"\n")
               .arg(status.value(QStringLiteral("personality")).toString(),
                    status.value(QStringLiteral("manufacturer")).toString(),
                    status.value(QStringLiteral("product")).toString());
}

// ---- plug -------------------------------------------------------------------------------

bool identityFromOptions(const QCommandLineParser &parser, QJsonObject *identity, QString *error)
{
    UsbIdentity defaults;
    quint16 vendorId = defaults.vendorId;
    quint16 productId = defaults.productId;
    if ((parser.isSet(QStringLiteral("vid")) &&
         !parse::usbId(parser.value(QStringLiteral("vid")), "vendor id", &vendorId, error)) ||
        (parser.isSet(QStringLiteral("pid")) &&
         !parse::usbId(parser.value(QStringLiteral("pid")), "product id", &productId, error)))
        return false;
    if (parser.isSet(QStringLiteral("serial")) && parser.isSet(QStringLiteral("no-serial"))) {
        *error = QStringLiteral("--serial and --no-serial exclude each other");
        return false;
    }
    UsbIdentity identityValue;
    identityValue.vendorId = vendorId;
    identityValue.productId = productId;
    identityValue.serialNumber = parser.value(QStringLiteral("serial"));
    if (parser.isSet(QStringLiteral("manufacturer")))
        identityValue.manufacturer = parser.value(QStringLiteral("manufacturer"));
    if (parser.isSet(QStringLiteral("product")))
        identityValue.product = parser.value(QStringLiteral("product"));
    *error = identityProblem(identityValue);
    if (!error->isEmpty())
        return false;
    *identity = {{QStringLiteral("vendorId"), vendorId},
                 {QStringLiteral("productId"), productId},
                 {QStringLiteral("serialNumber"), identityValue.serialNumber},
                 {QStringLiteral("manufacturer"), identityValue.manufacturer},
                 {QStringLiteral("product"), identityValue.product}};
    return true;
}

int plugCommand(const QString &name, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOptions(
        {{QStringLiteral("id"), QString(), QStringLiteral("ID")},
         {QStringLiteral("vid"), QString(), QStringLiteral("HEX")},
         {QStringLiteral("pid"), QString(), QStringLiteral("HEX")},
         {QStringLiteral("serial"), QString(), QStringLiteral("SN")},
         {QStringLiteral("no-serial"), QString()},
         {QStringLiteral("manufacturer"), QString(), QStringLiteral("TEXT")},
         {QStringLiteral("product"), QString(), QStringLiteral("TEXT")},
         {QStringLiteral("personality"), QString(), QStringLiteral("NAME"), QStringLiteral("none")},
         {QStringLiteral("capture"), QString(), QStringLiteral("FILE")}});
    int status = Done;
    if (!parseArguments(parser, name, arguments, 1, 1, &status))
        return status;
    DaemonConfig config;
    config.portName = parser.positionalArguments().constFirst();
    config.id =
        parser.isSet(QStringLiteral("id")) ? parser.value(QStringLiteral("id")) : config.portName;
    config.personality = parser.value(QStringLiteral("personality"));
    if (parser.isSet(QStringLiteral("capture")))
        config.captureFile = QFileInfo(parser.value(QStringLiteral("capture"))).absoluteFilePath();
    QString error;
    if (!parse::portName(config.portName, &error) || !parse::adapterId(config.id, &error) ||
        !identityFromOptions(parser, &config.identity, &error))
        return usageError(name, error);
    if (!QStringList{QStringLiteral("none"), QStringLiteral("echo"), QStringLiteral("demo")}
             .contains(config.personality))
        return usageError(name,
                          QStringLiteral("unknown personality '%1': expected none, echo or demo")
                              .arg(config.personality));
    if (!requireSandbox(name, &status))
        return status;
    error = launchDaemon(config);
    if (!error.isEmpty())
        return fail(name, error);
    print(stdout, QStringLiteral("plugged %1 as /dev/%2 (id %3)\n")
                      .arg(config.portName, config.portName, config.id));
    return Done;
}

// ---- the other adapter commands ---------------------------------------------------------

int unplugCommand(const QString &name, const QStringList &arguments)
{
    QCommandLineParser parser;
    int status = Done;
    if (!parseArguments(parser, name, arguments, 1, 1, &status))
        return status;
    return callAdapter(name, parser.positionalArguments().constFirst(),
                       {{QStringLiteral("command"), QStringLiteral("unplug")}});
}

int replugCommand(const QString &name, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("name"), QString(), QStringLiteral("PORT")});
    int status = Done;
    if (!parseArguments(parser, name, arguments, 1, 1, &status))
        return status;
    QJsonObject request{{QStringLiteral("command"), QStringLiteral("replug")}};
    QString error;
    if (parser.isSet(QStringLiteral("name"))) {
        if (!parse::portName(parser.value(QStringLiteral("name")), &error))
            return usageError(name, error);
        request.insert(QStringLiteral("portName"), parser.value(QStringLiteral("name")));
    }
    return callAdapter(name, parser.positionalArguments().constFirst(), request);
}

bool sendPayload(const QCommandLineParser &parser, QJsonObject *request, QString *error)
{
    const QStringList kinds{QStringLiteral("string"), QStringLiteral("hex"), QStringLiteral("file"),
                            QStringLiteral("generate")};
    QStringList given;
    for (const QString &kind : kinds) {
        if (parser.isSet(kind))
            given << kind;
    }
    if (given.size() != 1) {
        *error = QStringLiteral("give exactly one of --string, --hex, --file and --generate");
        return false;
    }
    const QString value = parser.value(given.constFirst());
    QByteArray bytes;
    if (given.constFirst() == QLatin1String("string")) {
        if (!parse::escapedString(value, &bytes, error))
            return false;
        request->insert(QStringLiteral("data"), QString::fromLatin1(bytes.toBase64()));
    } else if (given.constFirst() == QLatin1String("hex")) {
        if (!parse::hexBytes(value, &bytes, error))
            return false;
        request->insert(QStringLiteral("data"), QString::fromLatin1(bytes.toBase64()));
    } else if (given.constFirst() == QLatin1String("file")) {
        const QFileInfo file(value);
        if (!file.isFile() || !file.isReadable()) {
            *error = QStringLiteral("cannot read file '%1'").arg(value);
            return false;
        }
        request->insert(QStringLiteral("file"), file.absoluteFilePath());
    } else {
        qint64 length = 0;
        quint32 seed = 1;
        if (!parse::byteCount(value, "length", &length, error) ||
            (parser.isSet(QStringLiteral("seed")) &&
             !parse::seed(parser.value(QStringLiteral("seed")), &seed, error)))
            return false;
        request->insert(QStringLiteral("generate"), double(length));
        request->insert(QStringLiteral("seed"), double(seed));
    }
    return true;
}

int sendCommand(const QString &name, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOptions({{QStringLiteral("string"), QString(), QStringLiteral("TEXT")},
                       {QStringLiteral("hex"), QString(), QStringLiteral("HEX")},
                       {QStringLiteral("file"), QString(), QStringLiteral("FILE")},
                       {QStringLiteral("generate"), QString(), QStringLiteral("N")},
                       {QStringLiteral("seed"), QString(), QStringLiteral("S")},
                       {QStringLiteral("rate"), QString(), QStringLiteral("BYTES_PER_S")},
                       {QStringLiteral("wait"), QString()}});
    int status = Done;
    if (!parseArguments(parser, name, arguments, 1, 1, &status))
        return status;
    QJsonObject request{{QStringLiteral("command"), QStringLiteral("send")},
                        {QStringLiteral("wait"), parser.isSet(QStringLiteral("wait"))}};
    QString error;
    qint64 rate = 0;
    if (!sendPayload(parser, &request, &error) ||
        (parser.isSet(QStringLiteral("rate")) &&
         !parse::byteCount(parser.value(QStringLiteral("rate")), "rate", &rate, &error)))
        return usageError(name, error);
    request.insert(QStringLiteral("rate"), double(rate));
    return callAdapter(name, parser.positionalArguments().constFirst(), request,
                       parser.isSet(QStringLiteral("wait")) ? -1 : RequestTimeoutMs);
}

int captureCommand(const QString &name, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("off"), QString()});
    int status = Done;
    if (!parseArguments(parser, name, arguments, 1, 2, &status))
        return status;
    const QStringList positional = parser.positionalArguments();
    if ((positional.size() == 2) == parser.isSet(QStringLiteral("off")))
        return usageError(name, QStringLiteral("give either FILE or --off"));
    const QString file =
        positional.size() == 2 ? QFileInfo(positional[1]).absoluteFilePath() : QString();
    return callAdapter(
        name, positional[0],
        {{QStringLiteral("command"), QStringLiteral("capture")}, {QStringLiteral("file"), file}});
}

int waitCommand(const QString &name, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOptions(
        {{QStringLiteral("received"), QString(), QStringLiteral("N")},
         {QStringLiteral("timeout"), QString(), QStringLiteral("SECONDS"), QStringLiteral("30")}});
    int status = Done;
    if (!parseArguments(parser, name, arguments, 1, 1, &status))
        return status;
    qint64 count = 0;
    QString error;
    if (!parser.isSet(QStringLiteral("received")))
        return usageError(name, QStringLiteral("--received N is required"));
    if (!parse::byteCount(parser.value(QStringLiteral("received")), "count", &count, &error))
        return usageError(name, error);
    bool ok = false;
    const double seconds = parser.value(QStringLiteral("timeout")).toDouble(&ok);
    if (!ok || seconds <= 0 || seconds > 86400)
        return usageError(name, QStringLiteral("invalid timeout '%1': expected seconds, such as 30")
                                    .arg(parser.value(QStringLiteral("timeout"))));
    const int timeoutMs = int(seconds * 1000);
    return callAdapter(name, parser.positionalArguments().constFirst(),
                       {{QStringLiteral("command"), QStringLiteral("wait")},
                        {QStringLiteral("received"), double(count)},
                        {QStringLiteral("timeoutMs"), timeoutMs}},
                       timeoutMs + RequestTimeoutMs);
}

int busyCommand(const QString &name, const QStringList &arguments)
{
    QCommandLineParser parser;
    int status = Done;
    if (!parseArguments(parser, name, arguments, 2, 2, &status))
        return status;
    const QString state = parser.positionalArguments().at(1);
    if (state != QLatin1String("on") && state != QLatin1String("off"))
        return usageError(name, QStringLiteral("expected on or off, not '%1'").arg(state));
    return callAdapter(name, parser.positionalArguments().constFirst(),
                       {{QStringLiteral("command"), QStringLiteral("busy")},
                        {QStringLiteral("on"), state == QLatin1String("on")}});
}

int removeCommand(const QString &name, const QStringList &arguments)
{
    QCommandLineParser parser;
    int status = Done;
    if (!parseArguments(parser, name, arguments, 1, 1, &status))
        return status;
    const QString id = parser.positionalArguments().constFirst();
    status = callAdapter(name, id, {{QStringLiteral("command"), QStringLiteral("remove")}});
    // The daemon removes its directory last; once it is gone, the id can be used again.
    QElapsedTimer clock;
    clock.start();
    while (status == Done && QFileInfo::exists(control::adapterDir(id))) {
        if (clock.elapsed() > RequestTimeoutMs)
            return fail(name, QStringLiteral("adapter '%1' did not end").arg(id));
        QThread::msleep(10);
    }
    return status;
}

int listCommand(const QString &name, const QStringList &arguments)
{
    QCommandLineParser parser;
    int status = Done;
    if (!parseArguments(parser, name, arguments, 0, 0, &status) || !requireSandbox(name, &status))
        return status;
    const QStringList ids = QDir(QLatin1String(paths::AdaptersDir))
                                .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &id : ids) {
        const QJsonObject state = control::call(
            id, {{QStringLiteral("command"), QStringLiteral("status")}}, RequestTimeoutMs);
        if (state.value(QStringLiteral("ok")).toBool())
            print(stdout, describe(state));
        else
            print(stdout, QStringLiteral("%1\t(not answering: %2)\n")
                              .arg(id, state.value(QStringLiteral("error")).toString()));
    }
    return Done;
}

int portsCommand(const QString &name, const QStringList &arguments)
{
    QCommandLineParser parser;
    int status = Done;
    if (!parseArguments(parser, name, arguments, 0, 0, &status))
        return status;
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
    return Done;
}

int patternCommand(const QString &name, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("seed"), QString(), QStringLiteral("S")});
    int status = Done;
    if (!parseArguments(parser, name, arguments, 1, 1, &status))
        return status;
    qint64 length = 0;
    quint32 seed = 1;
    QString error;
    if (!parse::byteCount(parser.positionalArguments().constFirst(), "length", &length, &error) ||
        (parser.isSet(QStringLiteral("seed")) &&
         !parse::seed(parser.value(QStringLiteral("seed")), &seed, &error)))
        return usageError(name, error);
    constexpr qint64 Chunk = 1024 * 1024;
    for (qint64 offset = 0; offset < length; offset += Chunk) {
        const QByteArray bytes = pattern(offset, qMin(Chunk, length - offset), seed);
        if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()))
            return fail(name, QStringLiteral("cannot write to standard output"));
    }
    return std::fflush(stdout) == 0 ? Done : Failed;
}

int daemonCommand(const QString &name, const QStringList &arguments)
{
    bool ok = false;
    const int readyFd = arguments.value(1).toInt(&ok);
    if (arguments.size() != 2 || !ok)
        return usageError(name, QStringLiteral("internal command; started by usbsim plug"));
    return runDaemon(QJsonDocument::fromJson(arguments.constFirst().toUtf8()).object(), readyFd);
}

const Command Commands[] = {
    {"plug",
     "plug NAME [--id ID] [--vid HEX] [--pid HEX] [--serial SN | --no-serial]\n"
     "            [--manufacturer TEXT] [--product TEXT] [--personality none|echo|demo]\n"
     "            [--capture FILE]",
     "Plugs a simulated USB serial adapter as /dev/NAME (ttyUSB0, ttyACM3, ...), held by a\n"
     "background daemon until `usbsim remove` or the end of the sandbox. The identity defaults\n"
     "to an FTDI FT232R (0403:6001, \"FTDI\", \"FT232R USB UART\") without a serial number.\n"
     "ID (default: NAME) names the adapter in the other commands. --capture writes every byte\n"
     "the terminal sends to FILE. Personalities: none (silent), echo (sends back what it\n"
     "receives), demo (a sensor: banner on open, a reading every second, AT commands).\n",
     plugCommand},
    {"unplug", "unplug ID",
     "Pulls the adapter out: the port leaves the enumeration and an open terminal sees a\n"
     "hang-up. The adapter can be plugged in again with `usbsim replug`.\n",
     unplugCommand},
    {"replug", "replug ID [--name NAME]",
     "Plugs the adapter in again with the same identity, under its last port name or NAME.\n",
     replugCommand},
    {"send",
     "send ID (--string TEXT | --hex HEX | --file FILE | --generate N [--seed S])\n"
     "            [--rate BYTES_PER_S] [--wait]",
     "Sends bytes from the device to the terminal, in order after anything still queued.\n"
     "--string understands \\r \\n \\t \\0 \\\\ and \\xHH; --hex takes pairs of hex digits,\n"
     "separators allowed (\"41 54 0d 0a\"); --generate sends N bytes (suffix K, M or G) of the\n"
     "stream `usbsim pattern N --seed S` prints. --rate paces the bytes; without it they go\n"
     "as fast as the terminal reads. --wait returns once everything is written.\n",
     sendCommand},
    {"capture", "capture ID (FILE | --off)",
     "Writes every byte the terminal sends from now on to FILE (truncated first), or stops.\n",
     captureCommand},
    {"wait", "wait ID --received N [--timeout SECONDS]",
     "Waits until the adapter has received N bytes in all (default timeout 30 s).\n", waitCommand},
    {"busy", "busy ID on|off",
     "Locks the port as another program holding it would: QSerialPortInfo::isBusy() reports\n"
     "it and QSerialPort::open fails. Unplugging drops the lock.\n",
     busyCommand},
    {"list", "list", "Lists the adapters started with `usbsim plug` and their state.\n",
     listCommand},
    {"ports", "ports", "Lists the serial ports as QSerialPortInfo::availablePorts() sees them.\n",
     portsCommand},
    {"remove", "remove ID", "Unplugs the adapter and ends its daemon.\n", removeCommand},
    {"pattern", "pattern N [--seed S]",
     "Writes the first N bytes (suffix K, M or G) of the deterministic stream that\n"
     "`usbsim send --generate` sends, so that a script can compare what arrived.\n",
     patternCommand},
};

QString usageOf(const Command &command)
{
    return QStringLiteral("Usage: usbsim %1\n\n%2")
        .arg(QLatin1String(command.synopsis), QLatin1String(command.help));
}

QString overallUsage()
{
    QString text = QStringLiteral(
        "Usage: usbsim COMMAND [ARGS...]\n\n"
        "Simulated USB serial adapters that Qt enumerates and opens, inside a sandbox.\n\n"
        "  usbsim sandbox [--] [COMMAND [ARGS...]]\n");
    for (const Command &command : Commands)
        text += QStringLiteral("  usbsim %1\n").arg(QLatin1String(command.synopsis));
    text += QStringLiteral(
        "\nAll commands but sandbox, ports and pattern run only inside the sandbox.\n"
        "`usbsim COMMAND --help` describes one command.\n");
    return text;
}

} // namespace

int runCommand(const QStringList &arguments)
{
    const QString name = arguments.value(1);
    const QStringList rest = arguments.mid(2);
    if (name.isEmpty() || name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        print(name.isEmpty() ? stderr : stdout, overallUsage());
        return name.isEmpty() ? Usage : Done;
    }
    if (name == QLatin1String("daemon"))
        return daemonCommand(name, rest);
    for (const Command &command : Commands) {
        if (name != QLatin1String(command.name))
            continue;
        if (rest.contains(QStringLiteral("--help")) || rest.contains(QStringLiteral("-h"))) {
            print(stdout, usageOf(command));
            return Done;
        }
        return command.run(name, rest);
    }
    print(stderr, QStringLiteral("usbsim: unknown command '%1' (see usbsim --help)\n").arg(name));
    return Usage;
}

} // namespace usbsim
