// Received text with what the extras add to it: the time each line arrived, at its start, and
// the colours that the device's escape sequences ask for.
#include "console.h"

#include "ansicolours.h"
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

// A format of its own, never merged with the line's: whatever markup or colour the line holds,
// the stamp shows as itself.
QTextCharFormat stampFormat()
{
    QTextCharFormat format;
    format.setForeground(QBrush(QColor(0x5f, 0xd7, 0xff), Qt::SolidPattern));
    return format;
}

// What a style changes of the text it applies to; nothing where it asks for the pane's own.
void applyStyle(QTextCharFormat *format, const ansi::Style &style)
{
    if (style.foreground >= 0)
        format->setForeground(QBrush(ansi::colour(style.foreground), Qt::SolidPattern));
    if (style.background >= 0)
        format->setBackground(QBrush(ansi::colour(style.background), Qt::SolidPattern));
    if (style.bold)
        format->setFontWeight(QFont::Bold);
}

bool isPlain(const ansi::Style &style)
{
    return style == ansi::Style();
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
// line, so that every line shown has its stamp; the lines begin at `positions`. A flood of empty
// lines would otherwise make as many stamps as the budget has characters, and the pane would
// throw most of them away.
int stampedTextStart(const QString &text, const QVector<int> &positions, int stampWidth, int budget)
{
    if (text.size() + positions.size() * stampWidth <= budget)
        return 0;
    for (int line = 0; line < positions.size(); ++line) {
        if (text.size() - positions.at(line) + (positions.size() - line) * stampWidth <= budget)
            return positions.at(line);
    }
    return text.size();
}

// What the rich-text parser gets carries markers: private-use characters, which no received byte
// becomes, one where each line begins and one where each style changes. Where the markers are
// after the parsing is where the stamps and the colours go. They number their events modulo
// their count: the parser swallows a marker that falls inside a tag, and the numbers tell which
// are left.
struct Markers
{
    ushort first;
    int count;
};
constexpr Markers lineMarkers{0xe000, 4096};
constexpr Markers styleMarkers{0xf000, 2048};

// The events, in the order of their offsets in `text`: a line begins, or a style changes.
struct Event
{
    int offset;
    bool isLine;
    int number; // among the events of its kind
};

QString withMarkers(const QString &text, const QVector<Event> &events)
{
    QString marked;
    marked.reserve(text.size() + events.size());
    int done = 0;
    for (const Event &event : events) {
        marked.append(text.midRef(done, event.offset - done));
        const Markers &markers = event.isLine ? lineMarkers : styleMarkers;
        marked.append(QChar(ushort(markers.first + event.number % markers.count)));
        done = event.offset;
    }
    marked.append(text.midRef(done));
    return marked;
}

struct Marker
{
    int position;
    int number;
};

QVector<Marker> markersIn(const QTextDocument *document, int begin, const Markers &markers)
{
    QVector<Marker> found;
    int next = 0;
    for (QTextBlock block = document->findBlock(begin); block.isValid(); block = block.next()) {
        const QString text = block.text();
        for (int i = qMax(0, begin - block.position()); i < text.size(); ++i) {
            const int code = text.at(i).unicode() - markers.first;
            if (code < 0 || code >= markers.count)
                continue;
            const int number = next + (code - next % markers.count + markers.count) % markers.count;
            found.append({block.position() + i, number});
            next = number + 1;
        }
    }
    return found;
}

// The raw offset of a byte of the text that the colours left: the sequences taken out before it
// count.
int rawOffset(const QVector<ansi::Cut> &cuts, int offset)
{
    int raw = offset;
    for (const ansi::Cut &cut : cuts) {
        if (cut.at > offset)
            break;
        raw += cut.length;
    }
    return raw;
}

} // namespace

// What happens in the shown part of a chunk: where its lines begin, with when each was read, and
// where its style changes; offsets in the shown bytes, or positions in the text built of them.
struct Console::ChunkEvents
{
    QVector<int> lines;
    QVector<qint64> times;
    QVector<ansi::StyleChange> styles;
    ansi::Style styleAtStart;

    QVector<Event> inOrder() const
    {
        QVector<Event> all;
        all.reserve(lines.size() + styles.size());
        int line = 0;
        int style = 0;
        while (line < lines.size() || style < styles.size()) {
            if (style == styles.size() ||
                (line < lines.size() && lines.at(line) <= styles.at(style).at))
                all.append({lines.at(line), true, line++});
            else
                all.append({styles.at(style).at, false, style++});
        }
        return all;
    }
};

bool Console::stamping() const
{
    return stamper && stamper->isOn();
}

bool Console::colouring() const
{
    return colours && colours->isOn();
}

bool Console::decorating() const
{
    return stamping() || colouring();
}

void Console::putDecoratedText(const QByteArray &bytes)
{
    ansi::Parsed parsed;
    ChunkEvents events;
    if (colouring()) {
        events.styleAtStart = colours->parser().style();
        parsed = colours->parser().feed(bytes);
    } else {
        parsed.text = bytes;
    }
    const QByteArray &text = parsed.text;
    const bool lineFeedParagraph = text.endsWith('\n');
    QVector<Stamper::Arrival> arrivals;
    bool atLineStart = false;
    if (stamping()) {
        arrivals = stamper->take(bytes.size());
        atLineStart = stamper->atLineStart;
        stamper->atLineStart = lineFeedParagraph;
    }
    const auto timeOf = [&](int offset) {
        return Stamper::timeAt(arrivals, rawOffset(parsed.cuts, offset));
    };
    const int from = textconversion::holdsMarkup(text) ? markup::windowStart(text) : 0;
    const QByteArray shown = from == 0 ? text : text.mid(from);
    const bool viaParser = textconversion::holdsMarkup(shown);

    // Without markup, only what is kept of the newest characters is looked at.
    int firstByte = 0;
    QVector<int> positions;
    if (!viaParser)
        textconversion::shownText(shown, maximumCharacters, {}, &positions, &firstByte);
    int previousLine = -1;
    if (stamping()) {
        events.lines = lineStarts(text, from + firstByte, atLineStart, &previousLine);
        for (int &start : events.lines) {
            events.times.append(timeOf(start));
            start -= from;
        }
    }
    for (const ansi::StyleChange &change : qAsConst(parsed.changes)) {
        if (change.at < from + firstByte)
            events.styleAtStart = change.style;
        else
            events.styles.append({change.at - from, change.style});
    }

    QString shownText;
    if (!viaParser) {
        int cutLine = -1;
        shownText = placeEvents(shown, &events, &cutLine);
        if (cutLine >= 0)
            previousLine = from + cutLine;
    }
    // The lines cut off stamp nothing, but the last of them is the previous line of the first
    // shown.
    if (previousLine >= 0)
        stamper->skipLine(timeOf(previousLine));
    if (viaParser)
        appendDecoratedHtml(shown, events, lineFeedParagraph);
    else
        appendDecoratedText(shownText, events, lineFeedParagraph);
}

// The text shown of `bytes`, with the events moved from offsets in the bytes to positions in it.
// Of a text cut to the budget only whole lines with their stamps are kept: `cutLine` then gets
// the offset of the last line cut.
QString Console::placeEvents(const QByteArray &bytes, ChunkEvents *events, int *cutLine) const
{
    const QVector<Event> order = events->inOrder();
    QVector<int> marks;
    marks.reserve(order.size());
    for (const Event &event : order)
        marks.append(event.offset);
    QVector<int> positions;
    QString text = textconversion::shownText(bytes, maximumCharacters, marks, &positions);
    const QVector<int> lineOffsets = events->lines;
    for (int i = 0; i < order.size(); ++i) {
        if (order.at(i).isLine)
            events->lines[order.at(i).number] = positions.at(i);
        else
            events->styles[order.at(i).number].at = positions.at(i);
    }
    if (!stamping())
        return text;

    // One character less, for the separator that ends the paragraph.
    const int cut =
        stampedTextStart(text, events->lines, stamper->shortestStamp(), maximumCharacters - 1);
    const int droppedLines =
        int(std::lower_bound(events->lines.cbegin(), events->lines.cend(), cut) -
            events->lines.cbegin());
    if (droppedLines > 0)
        *cutLine = lineOffsets.at(droppedLines - 1);
    events->lines.remove(0, droppedLines);
    events->times.remove(0, droppedLines);
    while (!events->styles.isEmpty() && events->styles.first().at < cut) {
        events->styleAtStart = events->styles.first().style;
        events->styles.removeFirst();
    }
    for (int &position : events->lines)
        position -= cut;
    for (ansi::StyleChange &change : events->styles)
        change.at -= cut;
    return text.mid(cut);
}

QTextCharFormat Console::styledFormat(const ansi::Style &style)
{
    QTextCharFormat format = receivedFormat();
    applyStyle(&format, style);
    return format;
}

void Console::appendDecoratedText(const QString &text, const ChunkEvents &events,
                                  bool lineFeedParagraph)
{
    appendReceived(
        [&](QTextCursor &cursor) {
            QTextCharFormat format = styledFormat(events.styleAtStart);
            int done = 0;
            const QVector<Event> order = events.inOrder();
            for (const Event &event : order) {
                cursor.insertText(text.mid(done, event.offset - done), format);
                done = event.offset;
                if (!event.isLine) {
                    format = styledFormat(events.styles.at(event.number).style);
                    continue;
                }
                const qint64 at = events.times.at(event.number);
                qCDebug(stampTrace).noquote() << at << text.mid(event.offset, 40);
                cursor.insertText(stamper->stampLine(at), stampFormat());
            }
            cursor.insertText(text.mid(done), format);
        },
        lineFeedParagraph);
}

void Console::appendDecoratedHtml(const QByteArray &bytes, const ChunkEvents &events,
                                  bool lineFeedParagraph)
{
    const QString html = markup::limitNesting(textconversion::withLineBreakTags(
        withMarkers(textconversion::printableText(bytes), events.inOrder())));
    appendReceived(
        [&](QTextCursor &cursor) {
            const int begin = cursor.position();
            insertReceivedHtml(&cursor, html);
            colourAtMarkers(&cursor, begin, events);
            if (stamping())
                stampAtMarkers(&cursor, begin, events);
        },
        lineFeedParagraph);
}

// Each style from its marker to the next, merged into what the markup made of the text: only
// what the style asks for changes. The markers go.
void Console::colourAtMarkers(QTextCursor *cursor, int begin, const ChunkEvents &events)
{
    const QVector<Marker> markers = markersIn(document(), begin, styleMarkers);
    const auto colour = [&](int from, int to, const ansi::Style &style) {
        if (isPlain(style) || from >= to)
            return;
        QTextCharFormat format;
        applyStyle(&format, style);
        cursor->setPosition(from);
        cursor->setPosition(to, QTextCursor::KeepAnchor);
        cursor->mergeCharFormat(format);
    };
    int end = document()->characterCount() - 1;
    for (auto marker = markers.crbegin(); marker != markers.crend(); ++marker) {
        colour(marker->position + 1, end, events.styles.value(marker->number).style);
        cursor->setPosition(marker->position);
        cursor->deleteChar();
        end = marker->position;
    }
    colour(begin, end, events.styleAtStart);
    cursor->movePosition(QTextCursor::End);
}

void Console::stampAtMarkers(QTextCursor *cursor, int begin, const ChunkEvents &events)
{
    QStringList stamps;
    for (const qint64 at : events.times)
        stamps.append(stamper->stampLine(at));
    const QVector<Marker> markers = markersIn(document(), begin, lineMarkers);
    for (auto marker = markers.crbegin(); marker != markers.crend(); ++marker) {
        cursor->setPosition(marker->position);
        // The stamp ends in a space of its own; the parser kept the line's first one.
        const bool spaceAfter = document()->characterAt(marker->position + 1) == QLatin1Char(' ');
        cursor->setPosition(marker->position + (spaceAfter ? 2 : 1), QTextCursor::KeepAnchor);
        cursor->insertText(stamps.value(marker->number), stampFormat());
    }
    cursor->movePosition(QTextCursor::End);
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
