#pragma once

#include <QByteArray>
#include <QString>

// Small file-system helpers on plain system calls, for trees that are not Qt's business
// (sysfs look-alikes, device links).
namespace usbsim::fs {

bool writeFile(const QString &path, const QByteArray &content, QString *error);
QByteArray readFile(const QString &path);
bool makeSymlink(const QString &target, const QString &link, QString *error);
// Removes a tree without following links or crossing into another mount.
void removeTree(const QString &path);
bool isTmpfs(const char *path);
bool processAlive(qint64 pid);
QString errnoText();

} // namespace usbsim::fs
