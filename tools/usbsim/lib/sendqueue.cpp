#include "sendqueue.h"

#include <usbsim/pattern.h>

#include <QtGlobal>

#include <cmath>

namespace usbsim {

namespace {
constexpr qint64 GenerateChunk = 256 * 1024;
constexpr double NsPerSecond = 1e9;

// A paced item goes out in slices of about 10 ms, and never bursts more than 20 ms worth
// after the terminal stalled: a UART does not catch up faster than its baud rate.
qint64 sliceOf(qint64 rate)
{
    return qMax<qint64>(1, rate / 100);
}

double burstOf(qint64 rate)
{
    return double(qMax<qint64>(1, rate / 50));
}
} // namespace

void SendQueue::append(const QByteArray &bytes, qint64 bytesPerSecond)
{
    if (bytes.isEmpty())
        return;
    Item item;
    item.bytes = bytes;
    item.length = bytes.size();
    item.rate = qMax<qint64>(0, bytesPerSecond);
    items.push_back(item);
    pendingBytes += item.length;
}

void SendQueue::appendStream(qint64 length, qint64 bytesPerSecond, quint32 seed)
{
    if (length <= 0)
        return;
    Item item;
    item.length = length;
    item.rate = qMax<qint64>(0, bytesPerSecond);
    item.seed = seed;
    item.generated = true;
    items.push_back(item);
    pendingBytes += length;
}

void SendQueue::clear()
{
    items.clear();
    pendingBytes = 0;
}

qint64 SendQueue::allowedByPacing(Item &item, qint64 nowNs, qint64 *waitNs)
{
    const qint64 remaining = item.length - item.done;
    if (item.rate == 0)
        return remaining;
    if (item.lastNs < 0) {
        item.lastNs = nowNs;
        item.credit = double(sliceOf(item.rate));
    }
    item.credit += double(item.rate) * double(nowNs - item.lastNs) / NsPerSecond;
    item.lastNs = nowNs;
    if (uartBuffer == 0) {
        item.credit = qMin(burstOf(item.rate), item.credit);
    } else if (item.credit > double(uartBuffer)) {
        // Which bytes a full buffer loses does not matter to anyone counting them: the oldest
        // go here, where a UART would lose the newest.
        skip(item, qMin(remaining, qint64(item.credit) - uartBuffer));
        item.credit = double(uartBuffer);
        return qMin(item.length - item.done, uartBuffer);
    }
    const qint64 wanted = qMin(remaining, sliceOf(item.rate));
    if (item.credit < double(wanted)) {
        *waitNs = qMax<qint64>(
            1, qint64(std::ceil((double(wanted) - item.credit) * NsPerSecond / double(item.rate))));
        return 0;
    }
    return qMin(remaining, qint64(item.credit));
}

void SendQueue::generateMore(Item &item)
{
    const qint64 count = qMin(item.length - item.done, GenerateChunk);
    item.bytes = pattern(item.done, count, item.seed);
    item.offset = 0;
}

void SendQueue::skip(Item &item, qint64 count)
{
    item.offset += count;
    item.done += count;
    pendingBytes -= count;
    lostBytes += count;
}

SendQueue::Due SendQueue::due(qint64 nowNs, qint64 maxBytes)
{
    Due result;
    if (items.empty())
        return result;
    Item &item = items.front();
    const qint64 allowed = qMin(maxBytes, allowedByPacing(item, nowNs, &result.waitNs));
    if (item.done >= item.length) { // lost to the end
        items.pop_front();
        return due(nowNs, maxBytes);
    }
    if (allowed == 0)
        return result;
    if (item.generated && item.offset >= item.bytes.size())
        generateMore(item);
    result.data = item.bytes.constData() + item.offset;
    result.size = qMin(allowed, qint64(item.bytes.size()) - item.offset);
    return result;
}

void SendQueue::consume(qint64 count)
{
    if (items.empty() || count <= 0)
        return;
    Item &item = items.front();
    item.offset += count;
    item.done += count;
    item.credit -= double(count);
    pendingBytes -= count;
    if (item.done >= item.length)
        items.pop_front();
}

} // namespace usbsim
