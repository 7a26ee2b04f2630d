#include "guestvm.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QThread>

namespace {

const QString scriptsDir = QStringLiteral(GUESTVM_SCRIPTS);

QString quoted(const QString &word)
{
    return QLatin1Char('\'') + QString(word).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

QByteArray lastLines(const QByteArray &text, int count)
{
    QList<QByteArray> lines = text.trimmed().split('\n');
    return lines.mid(qMax(0, lines.size() - count)).join('\n');
}

} // namespace

void UsbSerialCable::send(const QByteArray &data)
{
    if (farEnd) {
        farEnd->write(data);
        farEnd->flush();
    }
}

QByteArray UsbSerialCable::received()
{
    if (farEnd) {
        farEnd->waitForReadyRead(0);
        bytes += farEnd->readAll();
    }
    return bytes;
}

GuestVm::GuestVm()
{
    QDir().mkpath(shareDir());
}

GuestVm::~GuestVm()
{
    if (qemu.state() == QProcess::NotRunning)
        return;
    if (monitor.state() == QLocalSocket::ConnectedState)
        qmp(QStringLiteral("quit"));
    if (!qemu.waitForFinished(10000)) {
        qemu.kill();
        qemu.waitForFinished(5000);
    }
}

bool GuestVm::fail(const QString &why)
{
    reason = why;
    return false;
}

bool GuestVm::boot(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    if (!work.isValid())
        return fail(QStringLiteral("no temporary directory: ") + work.errorString());
    // Whatever this machine lacks, make-initramfs says so at once (check-host): a test of the
    // guest skips in a moment, instead of failing when the booted guest first misses it.
    QProcess maker;
    maker.start(scriptsDir + QStringLiteral("/make-initramfs"), {work.path()});
    if (!maker.waitForFinished(120000) || maker.exitStatus() != QProcess::NormalExit ||
        maker.exitCode() != 0) {
        const QString why = QString::fromLocal8Bit(maker.readAllStandardError()).trimmed();
        return fail(why.isEmpty() ? QStringLiteral("make-initramfs failed") : why);
    }
    // The guest finds its programs where check-host found them (see guest-init).
    QFile path(shareDir() + QStringLiteral("/.path"));
    if (!path.open(QIODevice::WriteOnly) || path.write(qgetenv("PATH")) < 0)
        return fail(QStringLiteral("cannot write ") + path.fileName());
    path.close();
    if (!startQemu(QString::fromLocal8Bit(maker.readAllStandardOutput()).trimmed()))
        return false;
    const QByteArray ready = readLine(&agent, timeoutMs - int(clock.elapsed()));
    if (ready != "ready")
        return fail(QStringLiteral("the guest did not come up within %1 s: %2")
                        .arg(timeoutMs / 1000)
                        .arg(consoleTail()));
    bootMs = clock.elapsed();
    return true;
}

bool GuestVm::startQemu(const QString &kernel)
{
    const QString share = shareDir();
    const QStringList arguments = {
        // Plain emulation: the paravirtual KVM of some hosts does not boot a stock kernel.
        QStringLiteral("-accel"), QStringLiteral("tcg"), QStringLiteral("-m"),
        QStringLiteral("1024"), QStringLiteral("-smp"), QStringLiteral("1"),
        QStringLiteral("-nodefaults"), QStringLiteral("-vga"), QStringLiteral("none"),
        QStringLiteral("-display"), QStringLiteral("none"), QStringLiteral("-no-reboot"),
        QStringLiteral("-kernel"), kernel, QStringLiteral("-initrd"),
        work.filePath(QStringLiteral("initramfs.cpio")), QStringLiteral("-append"),
        QStringLiteral("console=ttyS0 quiet mitigations=off guestvm.init=%1/guest-init "
                       "guestvm.share=%2")
            .arg(scriptsDir, share),
        // The built-in UART, ttyS0; the kernel's console writes there.
        QStringLiteral("-serial"),
        QStringLiteral("file:") + work.filePath(QStringLiteral("console.log")),
        QStringLiteral("-virtfs"),
        QStringLiteral("local,path=/,mount_tag=rootfs,security_model=none,readonly=on,"
                       "multidevs=remap"),
        QStringLiteral("-virtfs"),
        QStringLiteral("local,path=%1,mount_tag=share,security_model=none,multidevs=remap")
            .arg(share),
        QStringLiteral("-device"), QStringLiteral("virtio-serial-pci"), QStringLiteral("-chardev"),
        QStringLiteral("socket,id=agent,path=%1,server=on,wait=off")
            .arg(work.filePath(QStringLiteral("agent.sock"))),
        QStringLiteral("-device"),
        QStringLiteral("virtserialport,chardev=agent,name=guestvm.agent"),
        QStringLiteral("-device"), QStringLiteral("qemu-xhci,id=xhci"), QStringLiteral("-qmp"),
        QStringLiteral("unix:%1,server=on,wait=off")
            .arg(work.filePath(QStringLiteral("qmp.sock")))};
    // QEMU dies with this process, however it ends.
    qemu.setProcessChannelMode(QProcess::MergedChannels);
    qemu.start(QStringLiteral("setpriv"),
               QStringList{QStringLiteral("--pdeathsig"), QStringLiteral("KILL"),
                           QStringLiteral("--"), QStringLiteral("qemu-system-x86_64")} +
                   arguments);
    if (!qemu.waitForStarted(10000))
        return fail(QStringLiteral("cannot start QEMU: ") + qemu.errorString());
    if (!connectSocket(&monitor, work.filePath(QStringLiteral("qmp.sock")), 30000) ||
        readLine(&monitor, 30000).isEmpty() ||
        qmp(QStringLiteral("qmp_capabilities")).contains(QStringLiteral("error")) ||
        !connectSocket(&agent, work.filePath(QStringLiteral("agent.sock")), 30000))
        return fail(QStringLiteral("QEMU did not start: ") +
                    QString::fromLocal8Bit(lastLines(qemu.readAll(), 5)));
    return true;
}

bool GuestVm::connectSocket(QLocalSocket *socket, const QString &path, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs && qemu.state() != QProcess::NotRunning) {
        socket->connectToServer(path);
        if (socket->waitForConnected(1000))
            return true;
        QThread::msleep(50);
    }
    return false;
}

QByteArray GuestVm::readLine(QLocalSocket *socket, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!socket->canReadLine()) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0 || socket->state() != QLocalSocket::ConnectedState)
            return QByteArray();
        socket->waitForReadyRead(qMin(left, 1000));
    }
    return socket->readLine().trimmed();
}

QJsonObject GuestVm::qmp(const QString &command, const QJsonObject &arguments)
{
    QJsonObject request{{QStringLiteral("execute"), command}};
    if (!arguments.isEmpty())
        request.insert(QStringLiteral("arguments"), arguments);
    monitor.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    monitor.flush();
    for (;;) {
        const QByteArray line = readLine(&monitor, 30000);
        if (line.isEmpty())
            return {{QStringLiteral("error"), QStringLiteral("no answer")}};
        const QJsonObject answer = QJsonDocument::fromJson(line).object();
        if (answer.contains(QStringLiteral("event")))
            events.append(answer);
        else
            return answer;
    }
}

bool GuestVm::waitForEvent(const QString &event, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        for (int i = 0; i < events.size(); ++i) {
            if (events.at(i).value(QStringLiteral("event")).toString() == event) {
                events.removeAt(i);
                return true;
            }
        }
        const QByteArray line = readLine(&monitor, timeoutMs - int(clock.elapsed()));
        if (line.isEmpty())
            return false;
        events.append(QJsonDocument::fromJson(line).object());
    }
}

int GuestVm::run(const QString &command, QByteArray *output, int timeoutMs)
{
    if (agent.state() != QLocalSocket::ConnectedState || command.contains(QLatin1Char('\n')))
        return -1;
    const QString outputFile = QStringLiteral("%1/.output%2").arg(shareDir()).arg(++commandCount);
    const QString line = output ? QStringLiteral("( %1 ) >%2").arg(command, outputFile) : command;
    agent.write(line.toUtf8() + '\n');
    agent.flush();
    const QByteArray answer = readLine(&agent, timeoutMs);
    if (!answer.startsWith("done ")) {
        // A command still running would take the next one's answer: no more commands.
        agent.abort();
        return -1;
    }
    if (output) {
        QFile file(outputFile);
        *output = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        file.remove();
    }
    return answer.mid(5).toInt();
}

int GuestVm::runCommand(const QStringList &command, QByteArray *output, int timeoutMs)
{
    QStringList words{quoted(scriptsDir + QStringLiteral("/guest-commands"))};
    for (const QString &word : command)
        words << quoted(word);
    return run(words.join(QLatin1Char(' ')), output, timeoutMs);
}

UsbSerialCable *GuestVm::plug(const QString &serialNumber)
{
    auto cable = std::make_unique<UsbSerialCable>();
    cable->id = QStringLiteral("cable%1").arg(cables.size());
    cable->serial = serialNumber;
    if (!attach(cable.get()))
        return nullptr;
    cables.push_back(std::move(cable));
    return cables.back().get();
}

// Every plug gets a fresh character device: QEMU 7.2 has crashed when bytes from the far end
// reached an adapter that was being deleted.
bool GuestVm::attach(UsbSerialCable *cable)
{
    const QString device = QStringLiteral("%1-%2").arg(cable->id).arg(++plugCount);
    cable->device = device;
    const QString socketPath = work.filePath(device + QStringLiteral(".sock"));
    cable->pcap = work.filePath(device + QStringLiteral(".pcap"));
    const QJsonObject address{
        {QStringLiteral("type"), QStringLiteral("unix")},
        {QStringLiteral("data"), QJsonObject{{QStringLiteral("path"), socketPath}}}};
    const QJsonObject backend{
        {QStringLiteral("type"), QStringLiteral("socket")},
        {QStringLiteral("data"), QJsonObject{{QStringLiteral("addr"), address},
                                             {QStringLiteral("server"), true},
                                             {QStringLiteral("wait"), false}}}};
    const QJsonObject made =
        qmp(QStringLiteral("chardev-add"),
            {{QStringLiteral("id"), device}, {QStringLiteral("backend"), backend}});
    if (made.contains(QStringLiteral("error")))
        return fail(QStringLiteral("chardev-add: ") +
                    QString::fromUtf8(QJsonDocument(made).toJson()));
    cable->farEnd = std::make_unique<QLocalSocket>();
    if (!connectSocket(cable->farEnd.get(), socketPath, 10000))
        return fail(QStringLiteral("cannot reach the adapter's far end"));
    cable->bytes.clear();
    const QJsonObject added =
        qmp(QStringLiteral("device_add"), {{QStringLiteral("driver"), QStringLiteral("usb-serial")},
                                           {QStringLiteral("id"), device},
                                           {QStringLiteral("bus"), QStringLiteral("xhci.0")},
                                           {QStringLiteral("chardev"), device},
                                           {QStringLiteral("serial"), cable->serial},
                                           {QStringLiteral("pcap"), cable->pcap},
                                           {QStringLiteral("always-plugged"), true}});
    if (added.contains(QStringLiteral("error")))
        return fail(QStringLiteral("device_add: ") +
                    QString::fromUtf8(QJsonDocument(added).toJson()));
    // Plugged as far as a program can tell once udev has made the port's link by serial number.
    QByteArray port;
    if (runCommand({QStringLiteral("port-of"), cable->serial}, &port) != 0)
        return fail(QStringLiteral("udev did not announce the adapter %1").arg(cable->serial));
    cable->port = QString::fromLatin1(port.trimmed());
    cable->plugged = true;
    return true;
}

bool GuestVm::unplug(UsbSerialCable *cable)
{
    // Not one byte may reach the adapter while QEMU deletes it (see attach()).
    qmp(QStringLiteral("stop"));
    const bool deleted = !qmp(QStringLiteral("device_del"), {{QStringLiteral("id"), cable->device}})
                              .contains(QStringLiteral("error")) &&
                         waitForEvent(QStringLiteral("DEVICE_DELETED"), 30000);
    qmp(QStringLiteral("cont"));
    cable->received();
    cable->farEnd.reset();
    qmp(QStringLiteral("chardev-remove"), {{QStringLiteral("id"), cable->device}});
    cable->plugged = false;
    // Gone as far as a program can tell once udev has removed its port and link.
    return deleted && runCommand({QStringLiteral("gone"), cable->port, cable->serial}) == 0;
}

bool GuestVm::replug(UsbSerialCable *cable)
{
    return (!cable->plugged || unplug(cable)) && attach(cable);
}

bool GuestVm::unplugAll()
{
    bool all = true;
    for (const auto &cable : cables) {
        if (cable->plugged)
            all = unplug(cable.get()) && all;
    }
    return all;
}

QString GuestVm::consoleTail() const
{
    QFile console(work.filePath(QStringLiteral("console.log")));
    const QByteArray text = console.open(QIODevice::ReadOnly) ? console.readAll() : QByteArray();
    return text.trimmed().isEmpty() ? QStringLiteral("the guest's console stayed empty")
                                    : QString::fromLocal8Bit(lastLines(text, 5));
}
