// Received lines with the time they arrived, at the start of each.
#include "console.h"

#include "markup.h"
#include "stamper.h"
#include "textconversion.h"

#include <QLoggingCategory>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstring>

namespace {

// Off by default; the timestamps benchmark switches it on to compare each stamp of text without
// markup, to the nanosecond, with the moment the device wrote the line.
Q_LOGGING_CATEGORY(stampTrace, "korvix.stamps", QtWarningMsg)

// A format of its own, never merged with the line's: whatever markup the line holds, the stamp
// shows as itself.
QTextCharFormat stampFormat()
{
    QTextCharFormat format;
    format.setForeground(QBrush(QColor(0x5f, 0xd7, 0xff), Qt::SolidPattern));
    return format;
}

// The offsets of the lines that begin in `bytes` from `first` on: after every line feed but one
// in the last byte, whose line begins in the next chunk; and at the start, when the chunk
// continues no line. `previous` gets the offset of the last line begun before `first`, or -1.
QVector<int> lineStarts(const QByteArray &bytes, int first, bool atLineStart, int *previous)
{
    QVector<int> starts;
    if (first == 0 && atLineStart)
        starts.append(0);
    const char *const data = bytes.constData();
    const char *const last = data + bytes.size() - 1;
    for (const char *at = data + qMax(0, first - 1); at < last; ++at) {
        at = static_cast<const char *>(std::memchr(at, '\n', size_t(last - at)));
        if (!at)
            break;
        starts.append(int(at - data) + 1);
    }
    const int lineFeed = first >= 2 ? bytes.lastIndexOf('\n', first - 2) : -1;
    *previous = lineFeed >= 0 ? lineFeed + 1 : (atLineStart && first > 0 ? 0 : -1);
    return starts;
}

// Where the text must begin for it and its stamps to fit the pane's budget: at the start of a
// line, so that every line shown has its stamp. A flood of empty lines would otherwise make as
// many stamps as the budget has characters, and the pane would throw most of them away.
int stampedTextStart(const QString &text, const QVector<textconversion::LineBreak> &breaks,
                     bool fromTheStart, int stampWidth, int budget)
{
    const int lines = breaks.size() + (fromTheStart ? 1 : 0);
    if (text.size() + lines * stampWidth <= budget)
        return fromTheStart ? 0 : breaks.isEmpty() ? text.size() : breaks.first().position + 1;
    for (int i = 0; i < breaks.size(); ++i) {
        const int start = breaks.at(i).position + 1;
        if (text.size() - start + (breaks.size() - i) * stampWidth <= budget)
            return start;
    }
    return text.size();
}

// What the rich-text parser gets carries a marker where each line begins: a private-use
// character, which no received byte becomes. Where the markers are after the parsing is where the
// stamps go. They number the lines modulo their count: the parser swallows a marker that falls
// inside a tag, and the numbers tell which lines are left.
constexpr ushort firstMarker = 0xe000;
constexpr int markerCount = 4096;

bool isMarker(QChar c)
{
    return c.unicode() >= firstMarker && c.unicode() < firstMarker + markerCount;
}

QString withMarkers(const QString &text, const QVector<int> &positions)
{
    QString marked;
    marked.reserve(text.size() + positions.size());
    int done = 0;
    for (int line = 0; line < positions.size(); ++line) {
        marked.append(text.midRef(done, positions.at(line) - done));
        marked += QChar(ushort(firstMarker + line % markerCount));
        done = positions.at(line);
    }
    marked.append(text.midRef(done));
    return marked;
}

struct Marker
{
    int position;
    int line;
};

QVector<Marker> markersBetween(const QTextDocument *document, int begin, int end)
{
    QVector<Marker> found;
    int next = 0;
    for (QTextBlock block = document->findBlock(begin); block.isValid() && block.position() < end;
         block = block.next()) {
        const QString text = block.text();
        for (int i = 0; i < text.size(); ++i) {
            if (!isMarker(text.at(i)))
                continue;
            const int number = text.at(i).unicode() - firstMarker;
            const int line = next + (number - next % markerCount + markerCount) % markerCount;
            found.append({block.position() + i, line});
            next = line + 1;
        }
    }
    return found;
}

} // namespace

bool Console::stamping() const
{
    return stamper && stamper->isOn();
}

// The lines begin at `starts`, offsets into the chunk of the shown part's offset `from` on; they
// are stamped with the time of the read that began each.
void Console::putStampedText(const QByteArray &bytes, bool lineFeedParagraph)
{
    const QVector<Stamper::Arrival> arrivals = stamper->take(bytes.size());
    const bool atLineStart = stamper->atLineStart;
    stamper->atLineStart = lineFeedParagraph;
    const int from = textconversion::holdsMarkup(bytes) ? markup::windowStart(bytes) : 0;
    const QByteArray shown = from == 0 ? bytes : bytes.mid(from);
    const bool viaParser = textconversion::holdsMarkup(shown);

    // Without markup, only the newest characters are built, and of those only the lines that fit
    // with their stamps.
    QVector<textconversion::LineBreak> breaks;
    QString text;
    int firstShownByte = from;
    if (!viaParser) {
        text = textconversion::shownText(shown, maximumCharacters, &breaks);
        // One character less: the paragraph ends in a separator that the budget counts.
        const int start = stampedTextStart(text, breaks, text.size() < maximumCharacters,
                                           stamper->shortestStamp(), maximumCharacters - 1);
        if (start > 0) {
            auto kept = std::find_if(breaks.cbegin(), breaks.cend(),
                                     [start](const textconversion::LineBreak &lineBreak) {
                                         return lineBreak.position + 1 >= start;
                                     });
            firstShownByte += kept == breaks.cend() ? shown.size() : kept->lineFeed + 1;
            text = text.mid(start);
            breaks.erase(breaks.begin(), breaks.begin() + (kept - breaks.cbegin()));
            for (textconversion::LineBreak &lineBreak : breaks)
                lineBreak.position -= start;
        }
    }
    int previous = -1;
    const QVector<int> starts = lineStarts(bytes, firstShownByte, atLineStart, &previous);
    // The lines cut off stamp nothing, but the last of them is the previous line of the first
    // shown.
    if (previous >= 0)
        stamper->skipLine(Stamper::timeAt(arrivals, previous));
    QVector<Line> lines;
    for (const int start : starts)
        lines.append({start - from, Stamper::timeAt(arrivals, start)});

    if (viaParser)
        appendStampedHtml(shown, lines, lineFeedParagraph);
    else
        appendStampedText(text, breaks, lines, lineFeedParagraph);
}

void Console::appendStampedText(const QString &text,
                                const QVector<textconversion::LineBreak> &breaks,
                                const QVector<Line> &lines, bool lineFeedParagraph)
{
    appendReceived(
        [&](QTextCursor &cursor) {
            auto lineBreak = breaks.cbegin();
            int done = 0;
            for (const Line &line : lines) {
                while (lineBreak != breaks.cend() && lineBreak->lineFeed < line.start - 1)
                    ++lineBreak;
                const int position = line.start == 0 ? 0 : lineBreak->position + 1;
                qCDebug(stampTrace).noquote() << line.at << text.mid(position, 40);
                cursor.insertText(text.mid(done, position - done), receivedFormat());
                cursor.insertText(stamper->stampLine(line.at), stampFormat());
                done = position;
            }
            cursor.insertText(text.mid(done), receivedFormat());
        },
        lineFeedParagraph);
}

void Console::appendStampedHtml(const QByteArray &bytes, const QVector<Line> &lines,
                                bool lineFeedParagraph)
{
    QVector<int> positions;
    for (const Line &line : lines)
        positions.append(line.start);
    const QString html = markup::limitNesting(textconversion::withLineBreakTags(
        withMarkers(textconversion::printableText(bytes), positions)));
    appendReceived(
        [&](QTextCursor &cursor) {
            const int begin = cursor.position();
            insertReceivedHtml(&cursor, html);
            QStringList stamps;
            for (const Line &line : lines)
                stamps.append(stamper->stampLine(line.at));
            const QVector<Marker> markers = markersBetween(document(), begin, cursor.position());
            for (auto marker = markers.crbegin(); marker != markers.crend(); ++marker) {
                cursor.setPosition(marker->position);
                // The stamp ends in a space of its own; the parser kept the line's first one.
                const bool spaceAfter =
                    document()->characterAt(marker->position + 1) == QLatin1Char(' ');
                cursor.setPosition(marker->position + (spaceAfter ? 2 : 1),
                                   QTextCursor::KeepAnchor);
                cursor.insertText(stamps.value(marker->line), stampFormat());
            }
        },
        lineFeedParagraph);
}

// In hexadecimal a line is a burst of bytes: a stamp begins a new one wherever the bytes follow a
// pause, and the first bytes ever shown.
void Console::putStampedHex(const QByteArray &bytes)
{
    const QVector<Stamper::Arrival> arrivals = stamper->take(bytes.size());
    QVector<Stamper::Arrival> bursts;
    for (const Stamper::Arrival &arrival : arrivals) {
        if (stamper->lastReadAt == 0 || arrival.at - stamper->lastReadAt >= Stamper::hexPauseNs)
            bursts.append(arrival);
        stamper->lastReadAt = arrival.at;
    }
    // Five characters a byte: the bytes that cannot stay in the pane are not even written out.
    const int from = qMax(0, bytes.size() - (maximumCharacters / 5 + 1));
    if (from == bytes.size())
        return;
    auto first = std::lower_bound(
        bursts.cbegin(), bursts.cend(), from,
        [](const Stamper::Arrival &burst, int offset) { return burst.offset < offset; });
    if (first != bursts.cbegin())
        stamper->skipLine((first - 1)->at);
    // Every line's first item goes without the space before it.
    const auto insertHex = [&](QTextCursor &cursor, int begin, int end) {
        cursor.insertText(
            QString::fromLatin1(textconversion::hexNotation(bytes.mid(begin, end - begin))).mid(1),
            receivedFormat());
    };
    appendReceived(
        [&](QTextCursor &cursor) {
            int done = from;
            for (auto burst = first; burst != bursts.cend(); ++burst) {
                if (burst->offset > done)
                    insertHex(cursor, done, burst->offset);
                if (burst->offset > from)
                    cursor.insertText(QString(QChar::LineSeparator), receivedFormat());
                cursor.insertText(stamper->stampLine(burst->at), stampFormat());
                done = burst->offset;
            }
            insertHex(cursor, done, bytes.size());
        },
        false);
}
