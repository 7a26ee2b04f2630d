#include "commandline.h"

#include "stamper.h"

#include <QDebug>

namespace commandline {

namespace {

// Walks the argument list; a value option takes the next argument, whatever it looks like.
class Parser
{
public:
    Parser(const QStringList &allArguments, CommandLineOptions *filled)
        : arguments(allArguments), options(filled)
    {}

    Outcome run()
    {
        const int count = arguments.size();
        for (int i = 1; i < count; ++i) {
            const QString arg = arguments.at(i).toLower();
            if (arg == QLatin1String("-?") || arg == QLatin1String("-h") ||
                arg == QLatin1String("--help")) {
                printUsage();
                return Outcome::Help;
            }
            if (arg == QLatin1String("--nostatuslines")) {
                options->noStatusLines = true;
                consumed += 1;
            } else if (arg == QLatin1String("--forcelog")) {
                options->forceLog = true;
                consumed += 1;
            } else if (arg == QLatin1String("--localecho")) {
                options->localEcho = takeNumber(&i, 16);
                consumed += 2;
                qDebug().nospace() << "localecho " << options->localEcho;
            } else if (arg == QLatin1String("-b") || arg == QLatin1String("--baudrate")) {
                options->baudRate = takeNumber(&i, 10);
                consumed += 2;
            } else if (arg == QLatin1String("--filtervid")) {
                options->vendorId = takeNumber(&i, 16);
                consumed += 2;
            } else if (arg == QLatin1String("--filterpid")) {
                options->productId = takeNumber(&i, 16);
                consumed += 2;
            } else if (arg == QLatin1String("--filtersn")) {
                QString value;
                if (takeValue(&i, &value))
                    options->serialNumber = value.toLower();
                consumed += 2;
            } else if (arg == QLatin1String("--timestamps")) {
                options->timestamps = takeTimestamps(&i);
                consumed += 2;
            }
        }
        return verdict();
    }

private:
    bool takeValue(int *i, QString *value)
    {
        if (*i + 1 >= arguments.size()) {
            bad = true;
            return false;
        }
        ++*i;
        *value = arguments.at(*i);
        return true;
    }

    qint32 takeNumber(int *i, int base)
    {
        QString value;
        if (!takeValue(i, &value))
            return CommandLineOptions::notGiven;
        bool ok = false;
        const qint32 number = value.toInt(&ok, base);
        if (!ok) {
            bad = true;
            return CommandLineOptions::notGiven;
        }
        return number;
    }

    // The form's name as the stamps know it; a name they do not know makes the command line bad.
    QString takeTimestamps(int *i)
    {
        QString value;
        Stamper::Mode mode = Stamper::Mode::Off;
        if (!takeValue(i, &value))
            return QString();
        if (!Stamper::modeNamed(value, &mode)) {
            bad = true;
            return QString();
        }
        return Stamper::nameOf(mode);
    }

    Outcome verdict() const
    {
        if (consumed + 1 != arguments.size()) {
            qDebug("error: there are unrecognized parameters in the commandline");
            return reject();
        }
        return bad ? reject() : Outcome::Run;
    }

    static Outcome reject()
    {
        qDebug("##################### Error in Commandline #######");
        printUsage();
        return Outcome::Bad;
    }

    const QStringList &arguments;
    CommandLineOptions *options;
    int consumed = 0;
    bool bad = false;
};

} // namespace

Outcome parse(const QStringList &arguments, CommandLineOptions *options)
{
    return Parser(arguments, options).run();
}

int exitCode(Outcome outcome)
{
    return outcome == Outcome::Bad ? 1 : 0;
}

void printUsage()
{
    static const char *const lines[] = {
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
        "    --timestamps <form>    : stamp lines: off time since-connect since-line since-sent",
    };
    for (const char *line : lines)
        qDebug("%s", line);
}

} // namespace commandline
