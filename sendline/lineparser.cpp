#include "lineparser.h"

namespace lineparser {

namespace {

// The value of the hex digit at `index`, or -1 where there is none.
int hexDigitAt(const QString &line, int index)
{
    if (index >= line.size())
        return -1;
    const char c = line.at(index).toLatin1();
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

Parsed fromText(const QString &line)
{
    Parsed parsed;
    QString literal;
    for (int i = 0; i < line.size(); ++i) {
        if (line.at(i) != QLatin1Char('\\')) {
            literal += line.at(i);
            continue;
        }
        parsed.bytes += literal.toUtf8();
        literal.clear();
        const int escape = i;
        if (++i == line.size())
            return {QByteArray(), Fault::LoneBackslash, escape, 1};
        switch (line.at(i).toLatin1()) {
        case 'r':
            parsed.bytes += '\r';
            break;
        case 'n':
            parsed.bytes += '\n';
            break;
        case 't':
            parsed.bytes += '\t';
            break;
        case '\\':
            parsed.bytes += '\\';
            break;
        case 'x': {
            const int high = hexDigitAt(line, i + 1);
            const int low = hexDigitAt(line, i + 2);
            if (high < 0 || low < 0)
                return {QByteArray(), Fault::ShortHexEscape, escape, qMin(4, line.size() - escape)};
            parsed.bytes += char(high * 16 + low);
            i += 2;
            break;
        }
        default:
            return {QByteArray(), Fault::UnknownEscape, escape, 2};
        }
    }
    parsed.bytes += literal.toUtf8();
    return parsed;
}

Parsed fromHex(const QString &line)
{
    Parsed parsed;
    int i = 0;
    while (i < line.size()) {
        if (line.at(i).isSpace()) {
            ++i;
            continue;
        }
        const int word = i;
        if (line.at(i) == QLatin1Char('0') && i + 1 < line.size() &&
            line.at(i + 1).toLower() == QLatin1Char('x'))
            i += 2;
        const int digits = i;
        for (; i < line.size() && !line.at(i).isSpace(); ++i) {
            if (hexDigitAt(line, i) < 0)
                return {QByteArray(), Fault::NotHexDigit, i, 1};
        }
        if (i == digits)
            return {QByteArray(), Fault::PrefixOnly, word, 2};
        if ((i - digits) % 2 != 0)
            return {QByteArray(), Fault::UnpairedDigit, i - 1, 1};
        for (int pair = digits; pair < i; pair += 2)
            parsed.bytes += char(hexDigitAt(line, pair) * 16 + hexDigitAt(line, pair + 1));
    }
    return parsed;
}

QByteArray endingBytes(Ending ending)
{
    switch (ending) {
    case Ending::CR:
        return QByteArrayLiteral("\r");
    case Ending::LF:
        return QByteArrayLiteral("\n");
    case Ending::CRLF:
        return QByteArrayLiteral("\r\n");
    case Ending::None:
        break;
    }
    return QByteArray();
}

} // namespace lineparser
