#include "isolatedhome.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace testsupport {

namespace {
QTemporaryDir &homeDirectory()
{
    static QTemporaryDir directory(QDir::tempPath() + QStringLiteral("/korvix-test-home-XXXXXX"));
    return directory;
}
} // namespace

void isolateHome()
{
    QTemporaryDir &home = homeDirectory();
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot create an isolated home directory\n");
        std::abort();
    }
    const QByteArray path = home.path().toLocal8Bit();
    qputenv("HOME", path);
    qputenv("XDG_CONFIG_HOME", path + "/.config");
    qputenv("XDG_DATA_HOME", path + "/.local/share");
    qputenv("XDG_CACHE_HOME", path + "/.cache");
    qputenv("XDG_RUNTIME_DIR", path + "/runtime");
    QDir().mkpath(home.path() + QStringLiteral("/runtime"));
    QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString isolatedHomePath()
{
    return homeDirectory().path();
}

} // namespace testsupport
