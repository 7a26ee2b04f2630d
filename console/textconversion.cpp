#include "textconversion.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace textconversion {

namespace {

// A table, because a fast device makes chunks of megabytes; the compiler builds it, so nothing
// runs at start-up.
constexpr std::array<char, 256> printableTable()
{
    std::array<char, 256> of{};
    for (int byte = 0; byte < 256; ++byte)
        of[byte] = byte == 0x0a ? '\r' : (byte < 0x20 || byte > 0x7f) ? '.' : char(byte);
    return of;
}
constexpr std::array<char, 256> printableOf = printableTable();

} // namespace

// Built by hand rather than with QString::arg because a busy line hands tens of kilobytes to
// every display tick.
QByteArray hexNotation(const QByteArray &bytes)
{
    static const char digits[] = "0123456789abcdef";
    QByteArray notation(bytes.size() * 5, Qt::Uninitialized);
    char *out = notation.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = ' ';
        *out++ = '0';
        *out++ = 'x';
        *out++ = digits[byte >> 4];
        *out++ = digits[byte & 0x0f];
    }
    return notation;
}

char printable(char byte)
{
    return printableOf[static_cast<unsigned char>(byte)];
}

// Built straight from the bytes: each pass over a fast device's chunk, each copy of it, costs
// time and memory.
QString printableText(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    std::transform(bytes.cbegin(), bytes.cend(), text.begin(),
                   [](char c) { return QChar(QLatin1Char(printable(c))); });
    return text;
}

bool holdsMarkup(const QByteArray &bytes)
{
    return std::memchr(bytes.constData(), '<', size_t(bytes.size())) ||
           std::memchr(bytes.constData(), '&', size_t(bytes.size()));
}

// A deliberate choice: rendered as it stands, the parser folds the marker into a space, and a
// device's lines that arrive within one tick would show joined on one line. The last character
// keeps its paragraph of its own, so a chunk still makes as many paragraphs as before.
QString withLineBreakTags(const QString &text)
{
    QString html;
    html.reserve(text.size() + text.count(QLatin1Char('\r')) * 3);
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') && i != text.size() - 1)
            html += QLatin1String("<br>");
        else
            html += c;
    }
    return html;
}

namespace {

// A run of white space shows as one space, none at the start of a line. Built walking back from
// the end: whether a byte shows depends on nothing but the byte before it, so a long chunk costs
// no more than the characters that stay. `onBreak` hears of each line break as it is made: the
// line feed's offset, and the break's distance from the end of the text.
template<typename OnBreak> QString walkShown(const QByteArray &bytes, int keep, OnBreak onBreak)
{
    const int last = bytes.size() - 1;
    const auto isBlank = [&](int i) {
        const char c = printable(bytes.at(i));
        return c == ' ' || c == '\r';
    };
    QString shown(qMin(keep, bytes.size()), Qt::Uninitialized);
    QChar *const begin = shown.data();
    QChar *const end = begin + shown.size();
    QChar *out = end;
    for (int i = last; i >= 0 && out != begin; --i) {
        const char c = printable(bytes.at(i));
        if (c == '\r' && i != last) {
            *--out = QChar::LineSeparator;
            onBreak(i, int(end - out));
        } else if (!isBlank(i)) {
            *--out = QLatin1Char(c);
        } else {
            // Of a run of spaces only the first can show; a flood of them is skipped eight at a
            // time.
            const char *const data = bytes.constData();
            while (i >= 8 && std::memcmp(data + i - 8, "        ", 8) == 0)
                i -= 8;
            while (i > 0 && data[i - 1] == ' ')
                --i;
            if (i > 0 && !isBlank(i - 1))
                *--out = QLatin1Char(' ');
        }
    }
    return shown.mid(int(out - begin));
}

} // namespace

QString shownText(const QByteArray &bytes, int keep)
{
    return walkShown(bytes, keep, [](int, int) {});
}

QString shownText(const QByteArray &bytes, int keep, QVector<LineBreak> *breaks)
{
    QVector<LineBreak> fromEnd;
    QString shown = walkShown(bytes, keep, [&fromEnd](int lineFeed, int distance) {
        fromEnd.append({lineFeed, distance});
    });
    breaks->clear();
    breaks->reserve(fromEnd.size());
    for (auto it = fromEnd.crbegin(); it != fromEnd.crend(); ++it)
        breaks->append({it->lineFeed, shown.size() - it->position});
    return shown;
}

} // namespace textconversion
