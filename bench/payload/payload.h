#pragma once

#include <QByteArray>

// What the benchmarks send: the text devices send, with a fixed seed so that runs compare.
namespace payload {

// Lines of printable text of 10 to 120 characters, ending in CR LF, without "<" and "&", which
// korvix renders as markup.
QByteArray text(qint64 size);

// Lines of 0 to 120 characters drawn from every printable ASCII character and TAB, so with "<",
// ">" and "&" as a device's text, XML or JSON holds them, ending in CR LF.
QByteArray markup(qint64 size);

// A device's log as ESP-IDF prints it: "I (312) wifi: ..." lines, each in the colour of its level
// (green, yellow, red) by escape sequences and reset at its end; or the same lines without them.
QByteArray espLog(qint64 size, bool coloured);

} // namespace payload
