// Any argument list gets the usage text written exactly once when the program does not run, a
// lower-case serial number when it does, and never crashes the parser.
// Input: the arguments after the program name, separated by zero bytes as the kernel hands them.
#include "commandline.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

const QString usageStart = QStringLiteral("\nUsage: korvix [options]");
int usageTexts = 0; // a message handler has no other place to count in

void countUsageTexts(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg && message == usageStart)
        ++usageTexts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QStringList arguments{QStringLiteral("korvix")};
    if (size > 0)
        arguments +=
            QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)).split(QChar(0));
    CommandLineOptions options;
    usageTexts = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countUsageTexts);
    const commandline::Outcome outcome = commandline::parse(arguments, &options);
    qInstallMessageHandler(previous);

    const bool runs = outcome == commandline::Outcome::Run;
    if (usageTexts != (runs ? 0 : 1))
        qFatal("the usage text was written %d times", usageTexts);
    if (runs && options.serialNumber != options.serialNumber.toLower())
        qFatal("serial number not lower case");
    return 0;
}
