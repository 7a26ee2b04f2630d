#include "control.h"

#include "../lib/paths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QLocalSocket>

namespace usbsim::control {

namespace {
constexpr int ConnectTimeoutMs = 3000;
}

QString adapterDir(const QString &id)
{
    return QStringLiteral("%1/%2").arg(QLatin1String(paths::AdaptersDir), id);
}

QString socketPath(const QString &id)
{
    return adapterDir(id) + QLatin1String("/control");
}

QString pidPath(const QString &id)
{
    return adapterDir(id) + QLatin1String("/pid");
}

QJsonObject reply(bool ok, const QString &error)
{
    QJsonObject object{{QStringLiteral("ok"), ok}};
    if (!ok)
        object.insert(QStringLiteral("error"), error);
    return object;
}

QJsonObject call(const QString &id, const QJsonObject &request, int timeoutMs)
{
    if (!QDir(adapterDir(id)).exists())
        return reply(false, QStringLiteral("no adapter with id '%1' (see usbsim list)").arg(id));
    QLocalSocket socket;
    socket.connectToServer(socketPath(id));
    if (!socket.waitForConnected(ConnectTimeoutMs))
        return reply(
            false,
            QStringLiteral("adapter '%1' does not answer: %2").arg(id, socket.errorString()));
    socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    QElapsedTimer clock;
    clock.start();
    while (!socket.canReadLine()) {
        if (timeoutMs >= 0 && clock.elapsed() >= timeoutMs)
            return reply(false, QStringLiteral("adapter '%1' did not answer in time").arg(id));
        const int left = timeoutMs < 0 ? -1 : int(qMax<qint64>(1, timeoutMs - clock.elapsed()));
        if (!socket.waitForReadyRead(left) && !socket.canReadLine() &&
            socket.state() != QLocalSocket::ConnectedState)
            return reply(false, QStringLiteral("adapter '%1' went away").arg(id));
    }
    const QJsonObject answer = QJsonDocument::fromJson(socket.readLine()).object();
    return answer.contains(QStringLiteral("ok"))
               ? answer
               : reply(false, QStringLiteral("adapter '%1' sent a garbled reply").arg(id));
}

} // namespace usbsim::control
