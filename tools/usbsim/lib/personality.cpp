#include <usbsim/personality.h>

#include <usbsim/adapter.h>

#include <QTimer>

#include <cmath>

namespace usbsim {

namespace {
constexpr int ReadingIntervalMs = 1000;
// A terminal may configure or flush the port right after opening it; greet a little later.
constexpr int BannerDelayMs = 100;
constexpr int MaxLineLength = 256;
const QByteArray Eol = QByteArrayLiteral("\r\n");
} // namespace

EchoPersonality::EchoPersonality(Adapter *adapter) : QObject(adapter)
{
    connect(adapter, &Adapter::bytesReceived, adapter,
            [adapter](const QByteArray &chunk) { adapter->send(chunk); });
}

DemoPersonality::DemoPersonality(Adapter *owner)
    : QObject(owner), adapter(owner), readingTimer(new QTimer(this))
{
    readingTimer->setInterval(ReadingIntervalMs);
    connect(readingTimer, &QTimer::timeout, this, &DemoPersonality::sendReading);
    connect(adapter, &Adapter::terminalOpenChanged, this, &DemoPersonality::onOpenChanged);
    connect(adapter, &Adapter::bytesReceived, this, &DemoPersonality::onBytes);
    if (adapter->isOpenByTerminal())
        onOpenChanged(true);
}

QByteArray DemoPersonality::reading(int n)
{
    // Slow drifts with a little wobble: plausible for a bench sensor, and the same every run.
    const double t = 23.4 + 1.5 * std::sin(n / 30.0) + 0.1 * std::sin(n * 1.7);
    const double u = 3.30 + 0.02 * std::sin(n / 7.0);
    const int i = 12 + int(std::lround(3 * std::sin(n / 11.0)));
    return QStringLiteral("T=%1C U=%2V I=%3mA n=%4")
        .arg(t, 0, 'f', 1)
        .arg(u, 0, 'f', 2)
        .arg(i)
        .arg(n)
        .toLatin1();
}

QByteArray DemoPersonality::answer(const QByteArray &command)
{
    const QByteArray upper = command.trimmed().toUpper();
    if (upper == "AT")
        return "OK" + Eol;
    if (upper == "ATI") {
        const UsbIdentity id = adapter->identity();
        return QStringLiteral("usbsim demo sensor %1 %2 serial %3")
                   .arg(id.manufacturer, id.product,
                        id.serialNumber.isEmpty() ? QStringLiteral("none") : id.serialNumber)
                   .toUtf8() +
               Eol + "OK" + Eol;
    }
    if (upper == "AT+READ?")
        return reading(++readings) + Eol + "OK" + Eol;
    return "ERROR" + Eol;
}

void DemoPersonality::onOpenChanged(bool open)
{
    line.clear();
    if (!open) {
        readingTimer->stop();
        return;
    }
    QTimer::singleShot(BannerDelayMs, this, &DemoPersonality::sendBanner);
}

void DemoPersonality::sendBanner()
{
    if (!adapter->isOpenByTerminal())
        return;
    adapter->send("usbsim demo sensor ready; commands: AT, ATI, AT+READ?" + Eol);
    readingTimer->start();
}

void DemoPersonality::sendReading()
{
    adapter->send(reading(++readings) + Eol);
}

void DemoPersonality::onBytes(const QByteArray &chunk)
{
    for (const char c : chunk) {
        if (c != '\r' && c != '\n') {
            if (line.size() < MaxLineLength)
                line.append(c);
            continue;
        }
        if (!line.trimmed().isEmpty()) // the LF of a CR LF ends an empty line
            adapter->send(answer(line));
        line.clear();
    }
}

bool attachPersonality(const QString &name, Adapter *adapter)
{
    if (name == QLatin1String("echo"))
        new EchoPersonality(adapter);
    else if (name == QLatin1String("demo"))
        new DemoPersonality(adapter);
    else if (name != QLatin1String("none"))
        return false;
    return true;
}

} // namespace usbsim
