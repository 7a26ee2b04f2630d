#include "ansi.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace ansi {

namespace {

constexpr char escape = '\x1b';

bool isParameter(char c)
{
    return c >= 0x30 && c <= 0x3f;
}

bool isIntermediate(char c)
{
    return c >= 0x20 && c <= 0x2f;
}

bool isFinal(char c)
{
    return c >= 0x40 && c <= 0x7e;
}

enum class Scan { Complete, Incomplete, Broken };

// Complete: `length` is the whole sequence's. Broken: the bytes to give back as text.
struct Sequence
{
    Scan scan;
    int length;
};

// The sequence that starts with the ESC at `begin`.
Sequence scan(const char *begin, const char *end)
{
    if (end - begin < 2)
        return {Scan::Incomplete, 0};
    if (begin[1] != '[')
        return {Scan::Broken, 1};
    const char *limit =
        end - begin > Parser::maximumSequence ? begin + Parser::maximumSequence : end;
    const char *at = begin + 2;
    while (at < limit && isParameter(*at))
        ++at;
    while (at < limit && isIntermediate(*at))
        ++at;
    if (at == limit)
        return limit == end ? Sequence{Scan::Incomplete, 0}
                            : Sequence{Scan::Broken, Parser::maximumSequence};
    if (isFinal(*at))
        return {Scan::Complete, int(at + 1 - begin)};
    return {Scan::Broken, int(at - begin)};
}

// A number of an SGR sequence; `sub` if a colon put it under the one before (38:5:1).
struct Parameter
{
    int value;
    bool sub;
};

// As many as a sequence of the longest length can hold.
struct Parameters
{
    std::array<Parameter, Parser::maximumSequence> items;
    int count = 0;

    const Parameter &at(int index) const { return items[size_t(index)]; }
    void append(const Parameter &parameter) { items[size_t(count++)] = parameter; }
};

// The parameters between "ESC [" and the final 'm', or none (with false) when the sequence is
// not SGR: another final byte, intermediate bytes, or a private marker such as '?' or '>'.
// An empty parameter is 0.
bool sgrParameters(const char *sequence, int length, Parameters *list)
{
    if (sequence[length - 1] != 'm')
        return false;
    Parameter parameter{0, false};
    for (const char *at = sequence + 2; at < sequence + length - 1; ++at) {
        if (*at >= '0' && *at <= '9') {
            // Bounded: the number is only compared, and must not overflow.
            parameter.value = std::min(parameter.value * 10 + (*at - '0'), 100000);
        } else if (*at == ';' || *at == ':') {
            list->append(parameter);
            parameter = Parameter{0, *at == ':'};
        } else {
            return false;
        }
    }
    list->append(parameter);
    return true;
}

void applyCode(Style *style, int code)
{
    if (code == 0)
        *style = Style();
    else if (code == 1)
        style->bold = true;
    else if (code == 22)
        style->bold = false;
    else if (code >= 30 && code <= 37)
        style->foreground = qint8(code - 30);
    else if (code == 39)
        style->foreground = -1;
    else if (code >= 40 && code <= 47)
        style->background = qint8(code - 40);
    else if (code == 49)
        style->background = -1;
    else if (code >= 90 && code <= 97)
        style->foreground = qint8(code - 90 + 8);
    else if (code >= 100 && code <= 107)
        style->background = qint8(code - 100 + 8);
}

// The style after an SGR sequence's parameters. The extended colours (38, 48 and 58, each with
// 5;n or 2;r;g;b, or the same after colons) take their numbers with them, so that none is read
// as a code of its own; of those, only an index below 16 has a colour here.
Style applySgr(Style style, const Parameters &list)
{
    int i = 0;
    while (i < list.count) {
        const int code = list.at(i).value;
        int next = i + 1;
        while (next < list.count && list.at(next).sub)
            ++next;
        if (code == 38 || code == 48 || code == 58) {
            int index = -1;
            if (next > i + 1) {
                if (list.at(i + 1).value == 5 && next > i + 2)
                    index = list.at(i + 2).value;
            } else if (next < list.count && list.at(next).value == 5) {
                index = next + 1 < list.count ? list.at(next + 1).value : -1;
                next += 2;
            } else if (next < list.count && list.at(next).value == 2) {
                next += 4;
            }
            if (index >= 0 && index < 16 && code == 38)
                style.foreground = qint8(index);
            else if (index >= 0 && index < 16 && code == 48)
                style.background = qint8(index);
        } else {
            applyCode(&style, code);
        }
        i = next;
    }
    return style;
}

} // namespace

Parsed Parser::feed(const QByteArray &bytes)
{
    Parsed parsed;
    if (held.isEmpty() && !std::memchr(bytes.constData(), escape, size_t(bytes.size()))) {
        parsed.text = bytes;
        return parsed;
    }
    atChunkStart = current;
    parsed.text.reserve(held.size() + bytes.size());
    const char *next = bytes.constData();
    const char *const end = next + bytes.size();
    if (!held.isEmpty()) {
        const QByteArray joined = held + bytes.left(maximumSequence);
        const Sequence sequence = scan(joined.constData(), joined.constData() + joined.size());
        if (sequence.scan == Scan::Incomplete) {
            held = joined;
            return parsed;
        }
        if (sequence.scan == Scan::Complete)
            takeOut(&parsed, joined.constData(), sequence.length);
        else
            parsed.text.append(joined.constData(), sequence.length);
        next += sequence.length - held.size();
        held.clear();
    }
    while (next < end) {
        const auto *found =
            static_cast<const char *>(std::memchr(next, escape, size_t(end - next)));
        if (!found) {
            parsed.text.append(next, int(end - next));
            break;
        }
        parsed.text.append(next, int(found - next));
        const Sequence sequence = scan(found, end);
        if (sequence.scan == Scan::Incomplete) {
            held = QByteArray(found, int(end - found));
            break;
        }
        if (sequence.scan == Scan::Complete)
            takeOut(&parsed, found, sequence.length);
        else
            parsed.text.append(found, sequence.length);
        next = found + sequence.length;
    }
    return parsed;
}

void Parser::reset()
{
    current = Style();
    held.clear();
}

void Parser::takeOut(Parsed *parsed, const char *sequence, int length)
{
    const int at = parsed->text.size();
    if (!parsed->cuts.isEmpty() && parsed->cuts.constLast().at == at)
        parsed->cuts.last().length += length;
    else
        parsed->cuts.append(Cut{at, length});
    Parameters list;
    if (sgrParameters(sequence, length, &list))
        changeStyle(parsed, applySgr(current, list));
}

// Sequences next to each other make one change, and none where they end in the style they
// started from.
void Parser::changeStyle(Parsed *parsed, const Style &next)
{
    if (next == current)
        return;
    current = next;
    const int at = parsed->text.size();
    QVector<StyleChange> &changes = parsed->changes;
    if (changes.isEmpty() || changes.constLast().at != at) {
        changes.append(StyleChange{at, next});
        return;
    }
    const Style before = changes.size() > 1 ? changes.at(changes.size() - 2).style : atChunkStart;
    if (next == before)
        changes.removeLast();
    else
        changes.last().style = next;
}

QColor colour(int index)
{
    // xterm's sixteen.
    static const std::array<QRgb, 16> colours = {
        0x000000, 0xcd0000, 0x00cd00, 0xcdcd00, 0x0000ee, 0xcd00cd, 0x00cdcd, 0xe5e5e5,
        0x7f7f7f, 0xff0000, 0x00ff00, 0xffff00, 0x5c5cff, 0xff00ff, 0x00ffff, 0xffffff};
    if (index < 0 || index >= 16)
        return QColor();
    return QColor(colours[size_t(index)]);
}

} // namespace ansi
