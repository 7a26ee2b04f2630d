// Received chunks and display-mode switches never crash the console, keep the pane within its
// 100 paragraphs and Console::maximumCharacters, and render exactly the document the rich-text
// parser makes of the same chunks.
// Input: records of an operation byte (bit 0: hexadecimal display; bits 1-5: the chunk is
// repeated 2^n times, up to a limit, as a fast device fills a tick), a length byte and as many
// bytes of data.
#include "console.h"
#include "reference.h"
#include "testmain.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

// Beyond the character budget, also in text, where the console's walk then starts late.
constexpr qint64 largestChunk = 96 * 1024;
// The parser that renders the reference takes long enough over this much of one input.
constexpr qint64 mostBytesPerInput = 2 * largestChunk;

// The console traces every chunk; only what goes wrong is worth reading.
void dropDebugMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

void press(Console *console, Qt::Key key)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(console, &event);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    Q_UNUSED(argc)
    testsupport::isolateHome();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(dropDebugMessages);
    // The fuzzer's own options are no business of the toolkit's.
    static int applicationArgc = 1;
    static QApplication application(applicationArgc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QStringList functionKeys;
    Console console(nullptr, &functionKeys);
    QPlainTextEdit reference;
    reference.document()->setMaximumBlockCount(100);
    // Laid out as the console lays out, which changes no document but spares time that grows
    // with the square of a word's length.
    reference.setWordWrapMode(QTextOption::WrapAnywhere);
    const QTextDocument *shown = console.document();
    const QTextDocument *expected = reference.document();
    bool hex = false;
    size_t at = 0;
    qint64 rendered = 0;
    while (at < size && rendered < mostBytesPerInput) {
        const uint8_t operation = data[at++];
        const size_t length = at < size ? qMin<size_t>(data[at], size - at - 1) : 0;
        at = qMin(at + 1, size);
        const QByteArray bytes(reinterpret_cast<const char *>(data + at), int(length));
        at += length;
        if (hex != bool(operation & 1)) {
            hex = !hex;
            press(&console, hex ? Qt::Key_F11 : Qt::Key_F12);
        }
        const qint64 repeats = qint64(1) << ((operation >> 1) & 0x1f);
        const QByteArray chunk =
            bytes.repeated(int(qMin(repeats, largestChunk / qMax(1, bytes.size()))));
        rendered += chunk.size();

        console.putData(chunk);
        consolereference::putThroughParser(&reference, chunk, hex);
        if (shown->blockCount() > 100 || shown->characterCount() > Console::maximumCharacters)
            qFatal("%d paragraphs, %d characters", shown->blockCount(), shown->characterCount());
        if (!consolereference::sameDocument(shown, expected))
            qFatal("the console differs from the parser's rendering");
    }
    return 0;
}
