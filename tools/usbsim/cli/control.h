#pragma once

#include <QJsonObject>
#include <QString>

// The line protocol between the adapter commands and the daemon that holds an adapter: one
// JSON object per line each way over the daemon's unix socket; replies carry "ok" and, when
// false, "error".
namespace usbsim::control {

QString adapterDir(const QString &id);
QString socketPath(const QString &id);
QString pidPath(const QString &id);

QJsonObject reply(bool ok, const QString &error = QString());

// Sends one request to the daemon of adapter `id` and returns its reply, or a failed reply
// saying why there was none. A negative timeout waits for as long as the daemon lives.
QJsonObject call(const QString &id, const QJsonObject &request, int timeoutMs);

} // namespace usbsim::control
