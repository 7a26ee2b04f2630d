#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// How received bytes turn into what the pane shows, apart from the widget: a fast device hands
// every tick megabytes, so each of these walks the bytes once and builds only what can stay on
// screen.
namespace textconversion {

// Each byte as a space, "0x" and two lowercase digits.
QByteArray hexNotation(const QByteArray &bytes);

// What a byte shows as in text: a line feed becomes a carriage return (the end-of-line marker),
// every other byte that is not printable ASCII a dot.
char printable(char byte);

// The bytes as they show in text, as the trace writes them.
QString printableText(const QByteArray &bytes);

// Markup survives the conversion to printable text unchanged.
bool holdsMarkup(const QByteArray &bytes);

// The text as the rich-text parser gets it: each end-of-line marker but the last character
// becomes a line break inside the paragraph.
QString withLineBreakTags(const QString &text);

// What the rich-text parser makes of markup-free bytes in a paragraph, built without it: a line
// break for each line feed but the last byte, white space collapsed as HTML collapses it. Only
// the newest `keep` characters.
QString shownText(const QByteArray &bytes, int keep);

// A line feed of the bytes that became a line break of the shown text, and where.
struct LineBreak
{
    int lineFeed; // offset in the bytes
    int position; // in the text
};
// shownText, and its line breaks in order.
QString shownText(const QByteArray &bytes, int keep, QVector<LineBreak> *breaks);

} // namespace textconversion
