#include <usbsim/pattern.h>

#include <QtEndian>

#include <cstring>

namespace usbsim {

namespace {
// splitmix64: every 8-byte block is a pure function of (seed, block index), so any part of
// the stream can be made without the parts before it.
quint64 mix(quint64 x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

quint64 block(quint64 index, quint32 seed)
{
    return mix(index ^ (quint64(seed) * 0xd6e8feb86659fd93ULL));
}
} // namespace

void fillPattern(char *out, qint64 offset, qint64 length, quint32 seed)
{
    qint64 position = offset;
    const qint64 end = offset + length;
    while (position < end) {
        const int skip = int(position & 7);
        const int count = int(qMin<qint64>(8 - skip, end - position));
        const quint64 value = block(quint64(position >> 3), seed) >> (8 * skip);
        const quint64 bytes = qToLittleEndian(value);
        std::memcpy(out, &bytes, size_t(count));
        out += count;
        position += count;
    }
}

QByteArray pattern(qint64 offset, qint64 length, quint32 seed)
{
    QByteArray bytes(int(length), Qt::Uninitialized);
    fillPattern(bytes.data(), offset, length, seed);
    return bytes;
}

} // namespace usbsim
