#include "daemon.h"

#include "control.h"

#include "../lib/fsutil.h"
#include "../lib/paths.h"

#include <usbsim/adapter.h>
#include <usbsim/personality.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace usbsim {

namespace {

const QString Ok = QStringLiteral("ok");

UsbIdentity identityFrom(const QJsonObject &object)
{
    UsbIdentity identity;
    identity.vendorId = quint16(object.value(QStringLiteral("vendorId")).toInt());
    identity.productId = quint16(object.value(QStringLiteral("productId")).toInt());
    identity.serialNumber = object.value(QStringLiteral("serialNumber")).toString();
    identity.manufacturer = object.value(QStringLiteral("manufacturer")).toString();
    identity.product = object.value(QStringLiteral("product")).toString();
    return identity;
}

QString hex4(quint16 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

// SIGTERM, SIGINT and SIGHUP end the daemon through the event loop, so that the adapter is
// unplugged and the state directory removed.
void quitOnSignals(QObject *parent)
{
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&set, sig);
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
    const int fd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd < 0)
        return;
    auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
}

void report(int fd, const QByteArray &line)
{
    if (fd < 0)
        return;
    const QByteArray text = line + '\n';
    if (::write(fd, text.constData(), size_t(text.size())) < 0) {
        // the plug command is gone; nobody to tell
    }
    ::close(fd);
}

} // namespace

QJsonObject DaemonConfig::toJson() const
{
    return {{QStringLiteral("id"), id},
            {QStringLiteral("portName"), portName},
            {QStringLiteral("personality"), personality},
            {QStringLiteral("captureFile"), captureFile},
            {QStringLiteral("identity"), identity}};
}

DaemonConfig DaemonConfig::fromJson(const QJsonObject &object)
{
    DaemonConfig config;
    config.id = object.value(QStringLiteral("id")).toString();
    config.portName = object.value(QStringLiteral("portName")).toString();
    config.personality = object.value(QStringLiteral("personality")).toString();
    config.captureFile = object.value(QStringLiteral("captureFile")).toString();
    config.identity = object.value(QStringLiteral("identity")).toObject();
    return config;
}

AdapterDaemon::AdapterDaemon(const DaemonConfig &config, QObject *parent)
    : QObject(parent)
    , config(config)
    , adapter(new Adapter(identityFrom(config.identity), this))
    , server(new QLocalServer(this))
{
    connect(adapter, &Adapter::bytesReceived, this, &AdapterDaemon::onBytesReceived);
    connect(adapter, &Adapter::allSent, this, [this] { settleWaiters(); });
    connect(adapter, &Adapter::pluggedChanged, this, [this](bool plugged) {
        if (!plugged)
            settleWaiters(true);
    });
    connect(server, &QLocalServer::newConnection, this, &AdapterDaemon::acceptConnection);
}

AdapterDaemon::~AdapterDaemon()
{
    server->close();
    adapter->unplug();
    if (ownsStateDir)
        fs::removeTree(control::adapterDir(config.id));
}

bool AdapterDaemon::start(QString *error)
{
    if (!claimStateDir(error))
        return false;
    if (!attachPersonality(config.personality, adapter)) {
        *error = QStringLiteral("unknown personality '%1'").arg(config.personality);
        return false;
    }
    if (!config.captureFile.isEmpty() && !openCapture(config.captureFile, error))
        return false;
    if (!adapter->plug(config.portName)) {
        *error = adapter->errorString();
        return false;
    }
    if (!server->listen(control::socketPath(config.id))) {
        *error = QStringLiteral("cannot listen on %1: %2")
                     .arg(control::socketPath(config.id), server->errorString());
        return false;
    }
    return true;
}

bool AdapterDaemon::claimStateDir(QString *error)
{
    const QString dir = control::adapterDir(config.id);
    if (!fs::makeDir(dir, nullptr)) {
        const qint64 owner = fs::readFile(control::pidPath(config.id)).trimmed().toLongLong();
        if (fs::processAlive(owner)) {
            *error = QStringLiteral("an adapter with id '%1' already exists (daemon pid %2)")
                         .arg(config.id)
                         .arg(owner);
            return false;
        }
        fs::removeTree(dir); // left by a daemon that was killed
        if (!fs::makeDir(dir, error))
            return false;
    }
    ownsStateDir = true;
    return fs::writeFile(control::pidPath(config.id),
                         QByteArray::number(QCoreApplication::applicationPid()) + '\n', error);
}

bool AdapterDaemon::openCapture(const QString &path, QString *error)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file->errorString());
        return false;
    }
    captureFile = std::move(file);
    return true;
}

void AdapterDaemon::acceptConnection()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
    }
}

void AdapterDaemon::readRequest(QLocalSocket *socket)
{
    while (socket->canReadLine()) {
        const QJsonObject request = QJsonDocument::fromJson(socket->readLine()).object();
        const QJsonObject result = handle(request, socket);
        if (!result.isEmpty())
            answer(socket, result);
    }
}

void AdapterDaemon::answer(QLocalSocket *socket, const QJsonObject &result)
{
    if (!socket)
        return;
    socket->write(QJsonDocument(result).toJson(QJsonDocument::Compact) + '\n');
    socket->flush();
}

// An empty result means the answer comes later (a waiter).
QJsonObject AdapterDaemon::handle(const QJsonObject &request, QLocalSocket *socket)
{
    const QString command = request.value(QStringLiteral("command")).toString();
    if (command == QLatin1String("status"))
        return status();
    if (command == QLatin1String("unplug")) {
        adapter->unplug();
        return control::reply(true);
    }
    if (command == QLatin1String("replug")) {
        const bool ok = adapter->replug(request.value(QStringLiteral("portName")).toString());
        return ok ? status() : control::reply(false, adapter->errorString());
    }
    if (command == QLatin1String("send"))
        return send(request, socket);
    if (command == QLatin1String("capture"))
        return capture(request);
    if (command == QLatin1String("wait"))
        return waitReceived(request, socket);
    if (command == QLatin1String("busy")) {
        const bool ok = adapter->setBusy(request.value(QStringLiteral("on")).toBool());
        return control::reply(ok, adapter->errorString());
    }
    if (command == QLatin1String("remove")) {
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return control::reply(true);
    }
    return control::reply(false, QStringLiteral("unknown request '%1'").arg(command));
}

QJsonObject AdapterDaemon::status() const
{
    QJsonObject result = control::reply(true);
    const UsbIdentity identity = adapter->identity();
    result.insert(QStringLiteral("id"), config.id);
    result.insert(QStringLiteral("port"), adapter->portName());
    result.insert(QStringLiteral("plugged"), adapter->isPlugged());
    result.insert(QStringLiteral("usbId"),
                  hex4(identity.vendorId) + QLatin1Char(':') + hex4(identity.productId));
    result.insert(QStringLiteral("serialNumber"), identity.serialNumber);
    result.insert(QStringLiteral("manufacturer"), identity.manufacturer);
    result.insert(QStringLiteral("product"), identity.product);
    result.insert(QStringLiteral("open"), adapter->isOpenByTerminal());
    result.insert(QStringLiteral("busy"), adapter->isBusy());
    result.insert(QStringLiteral("received"), receivedTotal);
    result.insert(QStringLiteral("pending"), adapter->bytesPendingToSend());
    result.insert(QStringLiteral("personality"), config.personality);
    result.insert(QStringLiteral("capture"), captureFile ? captureFile->fileName() : QString());
    return result;
}

QJsonObject AdapterDaemon::send(const QJsonObject &request, QLocalSocket *socket)
{
    if (!adapter->isPlugged())
        return control::reply(false, QStringLiteral("adapter '%1' is unplugged").arg(config.id));
    const qint64 rate = qint64(request.value(QStringLiteral("rate")).toDouble());
    if (request.contains(QStringLiteral("generate"))) {
        adapter->sendStream(qint64(request.value(QStringLiteral("generate")).toDouble()), rate,
                            quint32(request.value(QStringLiteral("seed")).toDouble()));
    } else if (request.contains(QStringLiteral("file"))) {
        QFile file(request.value(QStringLiteral("file")).toString());
        if (!file.open(QIODevice::ReadOnly))
            return control::reply(
                false,
                QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        adapter->send(file.readAll(), rate);
    } else {
        adapter->send(
            QByteArray::fromBase64(request.value(QStringLiteral("data")).toString().toLatin1()),
            rate);
    }
    if (!request.value(QStringLiteral("wait")).toBool() || adapter->bytesPendingToSend() == 0)
        return control::reply(true);
    waiters.append({socket, -1});
    return QJsonObject();
}

QJsonObject AdapterDaemon::capture(const QJsonObject &request)
{
    captureFile.reset();
    const QString path = request.value(QStringLiteral("file")).toString();
    QString error;
    if (!path.isEmpty() && !openCapture(path, &error))
        return control::reply(false, error);
    return control::reply(true);
}

QJsonObject AdapterDaemon::waitReceived(const QJsonObject &request, QLocalSocket *socket)
{
    const qint64 target = qint64(request.value(QStringLiteral("received")).toDouble());
    if (receivedTotal >= target)
        return status();
    waiters.append({socket, target});
    const int timeoutMs = request.value(QStringLiteral("timeoutMs")).toInt();
    QPointer<QLocalSocket> guarded(socket);
    QTimer::singleShot(timeoutMs, this, [this, guarded, target] {
        for (int i = 0; i < waiters.size(); ++i) {
            if (waiters[i].socket == guarded && waiters[i].receivedTarget == target) {
                waiters.removeAt(i);
                answer(
                    guarded,
                    control::reply(false, QStringLiteral("timed out after receiving %1 of %2 bytes")
                                              .arg(receivedTotal)
                                              .arg(target)));
                return;
            }
        }
    });
    return QJsonObject();
}

void AdapterDaemon::onBytesReceived(const QByteArray &chunk)
{
    if (captureFile && captureFile->write(chunk) != chunk.size())
        qWarning("usbsim: cannot write %s: %s", qPrintable(captureFile->fileName()),
                 qPrintable(captureFile->errorString()));
    receivedTotal += chunk.size();
    adapter->clearReceived(); // counted and captured; a long session must not grow the daemon
    settleWaiters();
}

void AdapterDaemon::settleWaiters(bool unplugged)
{
    for (int i = waiters.size() - 1; i >= 0; --i) {
        const Waiter waiter = waiters[i];
        const bool forReceived = waiter.receivedTarget >= 0;
        if (forReceived && receivedTotal >= waiter.receivedTarget) {
            waiters.removeAt(i);
            answer(waiter.socket, status());
        } else if (!forReceived && (unplugged || adapter->bytesPendingToSend() == 0)) {
            waiters.removeAt(i);
            answer(waiter.socket,
                   unplugged ? control::reply(
                                   false, QStringLiteral("unplugged before everything was sent"))
                             : control::reply(true));
        }
    }
}

int runDaemon(const QJsonObject &configObject, int readyFd)
{
    ::fcntl(readyFd, F_SETFD, FD_CLOEXEC);
    AdapterDaemon daemon(DaemonConfig::fromJson(configObject));
    quitOnSignals(&daemon);
    QString error;
    if (!daemon.start(&error)) {
        report(readyFd, error.toUtf8());
        return 1;
    }
    report(readyFd, Ok.toUtf8());
    return QCoreApplication::exec();
}

} // namespace usbsim
