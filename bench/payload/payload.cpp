#include "payload.h"

#include <QRandomGenerator>

namespace payload {

namespace {

constexpr quint32 Seed = 11;

QByteArray lines(qint64 size, const QByteArray &alphabet, int shortest, int longest)
{
    QRandomGenerator random(Seed);
    QByteArray text;
    text.reserve(int(size));
    while (text.size() < size) {
        const int length = random.bounded(shortest, longest + 1);
        for (int i = 0; i < length; ++i)
            text += alphabet.at(random.bounded(alphabet.size()));
        text += "\r\n";
    }
    text.truncate(int(size));
    return text;
}

} // namespace

QByteArray text(qint64 size)
{
    return lines(size,
                 "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                 "      .,:;=+-*/()[]_#%",
                 10, 120);
}

QByteArray markup(qint64 size)
{
    QByteArray printable("\t");
    for (char c = 0x20; c < 0x7f; ++c)
        printable += c;
    return lines(size, printable, 0, 120);
}

} // namespace payload
