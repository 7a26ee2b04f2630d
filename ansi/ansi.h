#pragma once

#include <QByteArray>
#include <QColor>
#include <QVector>

// The colour escape sequences that devices write into their text (ESC [ 31 m and the like), taken
// out of the received bytes, and the styles they ask for.
namespace ansi {

struct Style
{
    qint8 foreground = -1; // -1: the pane's own colour; 0-7 normal, 8-15 bright
    qint8 background = -1;
    bool bold = false;

    bool operator==(const Style &other) const
    {
        return foreground == other.foreground && background == other.background &&
               bold == other.bold;
    }
    bool operator!=(const Style &other) const { return !(*this == other); }
};

// From text offset `at` on, the text has `style`.
struct StyleChange
{
    int at;
    Style style;
};

// `length` bytes of the stream were taken out before text offset `at`.
struct Cut
{
    int at;
    int length;
};

struct Parsed
{
    QByteArray text;
    QVector<StyleChange> changes; // only where the style differs from the one before
    QVector<Cut> cuts;            // adjacent sequences make one cut
};

// One pass over each chunk, fast enough for the megabytes a fast device sends in a tick: escape
// bytes are found with memchr, the text between sequences is copied in runs, and a chunk without
// one comes back as the same (implicitly shared) array.
class Parser
{
public:
    // The longest sequence taken out; a longer one is given back as text as it stands.
    static constexpr int maximumSequence = 64;

    // The chunk with its escape sequences taken out. SGR sequences (ESC [ parameters m) change
    // the style; every other CSI sequence (ESC [, parameter bytes 0x30-0x3F, intermediate bytes
    // 0x20-0x2F, a final byte 0x40-0x7E) is hidden. A sequence that a chunk's end cuts off is held
    // back: the next chunk takes it out as a whole, in a cut at its text offset 0, or gives it
    // back as text at the start of its text. An ESC not followed by '[' stays in the text, and a
    // sequence broken by a byte outside the ranges, or longer than maximumSequence, is given
    // back as text as far as it got; the text goes on with the byte that broke it.
    Parsed feed(const QByteArray &bytes);
    // After the bytes fed so far; a sequence held back is not applied yet.
    Style style() const { return current; }
    // For a new connection: the pane's own style, and nothing held back.
    void reset();

private:
    void takeOut(Parsed *parsed, const char *sequence, int length);
    void changeStyle(Parsed *parsed, const Style &next);

    Style current;
    Style atChunkStart; // of the chunk being fed
    QByteArray held;
};

// The sixteen colours a style's indexes name; an invalid colour for any other index.
QColor colour(int index);

} // namespace ansi
