#include "isolatedhome.h"

#include "privatehome.h"

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
    const QProcessEnvironment environment = privateHomeEnvironment(home.path());
    const QStringList names = environment.keys();
    for (const QString &name : names)
        qputenv(name.toLocal8Bit().constData(), environment.value(name).toLocal8Bit());
}

QString isolatedHomePath()
{
    return homeDirectory().path();
}

} // namespace testsupport
