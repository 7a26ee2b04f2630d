#pragma once

#include <QByteArray>
#include <QString>

// What a typed line stands for on the wire: text with a few escapes, or bytes written in hex.
namespace lineparser {

enum class Fault {
    None,
    UnknownEscape,  // a backslash before anything but r, n, t, x or another backslash
    ShortHexEscape, // \x without two hexadecimal digits after it
    LoneBackslash,  // a backslash that ends the line
    NotHexDigit,    // hex mode: a character that is neither a digit nor a separator
    UnpairedDigit,  // hex mode: a byte written with one digit
    PrefixOnly,     // hex mode: 0x with no digits after it
};

struct Parsed
{
    QByteArray bytes;
    Fault fault = Fault::None;
    int position = -1; // where the fault starts in the line, in characters
    int length = 0;    // how many characters it covers

    bool ok() const { return fault == Fault::None; }
};

// Characters go out in UTF-8, as the function keys' strings do; \r, \n, \t, \\ and \xNN (two hex
// digits, either case) stand for their bytes.
Parsed fromText(const QString &line);

// Whitespace-separated words, each an even number of hex digits, optionally after 0x or 0X:
// "41 42 0d", "41420d", "0x41 0x42" and any mix of them ("0x4142 0d").
Parsed fromHex(const QString &line);

enum class Ending { None, CR, LF, CRLF };
QByteArray endingBytes(Ending ending);

} // namespace lineparser
