#include "parse.h"

#include <usbsim/adapter.h>

#include <QRegularExpression>

namespace usbsim::parse {

namespace {
int hexDigit(QChar c)
{
    const char l = c.toLatin1();
    if (l >= '0' && l <= '9')
        return l - '0';
    if (l >= 'a' && l <= 'f')
        return l - 'a' + 10;
    if (l >= 'A' && l <= 'F')
        return l - 'A' + 10;
    return -1;
}

bool isSeparator(QChar c)
{
    return c.isSpace() || c == QLatin1Char(':') || c == QLatin1Char(',') || c == QLatin1Char('-');
}
} // namespace

bool usbId(const QString &text, const char *what, quint16 *value, QString *error)
{
    static const QRegularExpression form(QStringLiteral("^(0[xX])?[0-9A-Fa-f]{1,4}$"));
    if (!form.match(text).hasMatch()) {
        *error = QStringLiteral("invalid %1 '%2': expected 1 to 4 hex digits, such as 0403")
                     .arg(QLatin1String(what), text);
        return false;
    }
    *value = quint16(text.toUInt(nullptr, 16));
    return true;
}

bool hexBytes(const QString &text, QByteArray *bytes, QString *error)
{
    QString digits = text;
    digits.remove(QRegularExpression(QStringLiteral("0[xX](?=[0-9A-Fa-f])")));
    bytes->clear();
    int high = -1;
    for (const QChar c : qAsConst(digits)) {
        if (isSeparator(c) && high < 0)
            continue;
        const int value = hexDigit(c);
        if (value < 0) {
            *error = QStringLiteral("invalid hex bytes '%1': '%2' is not a hex digit").arg(text, c);
            return false;
        }
        if (high < 0) {
            high = value;
        } else {
            bytes->append(char(high * 16 + value));
            high = -1;
        }
    }
    if (high >= 0 || bytes->isEmpty()) {
        *error = QStringLiteral("invalid hex bytes '%1': expected pairs of hex digits, such as "
                                "'41 54 0d 0a'")
                     .arg(text);
        return false;
    }
    return true;
}

bool byteCount(const QString &text, const char *what, qint64 *value, QString *error)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,15})([KkMmGg]?)$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        *error = QStringLiteral("invalid %1 '%2': expected a number of bytes, such as 4096 or 10M")
                     .arg(QLatin1String(what), text);
        return false;
    }
    const QString suffix = match.captured(2).toUpper();
    const int shift = suffix == QLatin1String("K")   ? 10
                      : suffix == QLatin1String("M") ? 20
                      : suffix == QLatin1String("G") ? 30
                                                     : 0;
    *value = match.captured(1).toLongLong() << shift;
    return true;
}

bool seed(const QString &text, quint32 *value, QString *error)
{
    bool ok = false;
    *value = text.toUInt(&ok, 0);
    if (!ok)
        *error =
            QStringLiteral("invalid seed '%1': expected a number from 0 to 4294967295").arg(text);
    return ok;
}

bool escapedString(const QString &text, QByteArray *bytes, QString *error)
{
    const QByteArray raw = text.toUtf8();
    bytes->clear();
    for (int i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            bytes->append(raw[i]);
            continue;
        }
        const char next = i + 1 < raw.size() ? raw[i + 1] : '\0';
        i += 1;
        switch (next) {
        case 'r':
            bytes->append('\r');
            break;
        case 'n':
            bytes->append('\n');
            break;
        case 't':
            bytes->append('\t');
            break;
        case '0':
            bytes->append('\0');
            break;
        case '\\':
            bytes->append('\\');
            break;
        case 'x': {
            const int high = i + 1 < raw.size() ? hexDigit(QLatin1Char(raw[i + 1])) : -1;
            const int low = i + 2 < raw.size() ? hexDigit(QLatin1Char(raw[i + 2])) : -1;
            if (high < 0 || low < 0) {
                *error = QStringLiteral("invalid string '%1': \\x needs two hex digits").arg(text);
                return false;
            }
            bytes->append(char(high * 16 + low));
            i += 2;
            break;
        }
        default:
            *error = QStringLiteral("invalid string '%1': unknown escape '\\%2' (known: \\r \\n "
                                    "\\t \\0 \\\\ \\xHH)")
                         .arg(text, QString(QLatin1Char(next)));
            return false;
        }
    }
    return true;
}

bool adapterId(const QString &text, QString *error)
{
    static const QRegularExpression form(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9_.-]{0,31}$"));
    if (form.match(text).hasMatch())
        return true;
    *error = QStringLiteral("invalid adapter id '%1': expected up to 32 letters, digits, '_', "
                            "'.' or '-', starting with a letter or digit")
                 .arg(text);
    return false;
}

bool portName(const QString &text, QString *error)
{
    if (isValidPortName(text))
        return true;
    *error = QStringLiteral("invalid port name '%1': expected tty, letters and a number, such as "
                            "ttyUSB0 or ttyACM3")
                 .arg(text);
    return false;
}

} // namespace usbsim::parse
