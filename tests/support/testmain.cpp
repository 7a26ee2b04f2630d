#include "testmain.h"

#include "privatehome.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>

namespace testsupport {

namespace {

QtMessageHandler testLibraryHandler = nullptr;

void failOnBadConnection(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    testLibraryHandler(type, context, message);
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QObject::connect:")))
        QTest::qFail("no bad connection", context.file ? context.file : "", context.line);
}

} // namespace

void isolateHome()
{
    static QTemporaryDir home(QDir::tempPath() + QStringLiteral("/korvix-test-home-XXXXXX"));
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot create an isolated home directory\n");
        std::abort();
    }
    const QProcessEnvironment environment = privateHomeEnvironment(home.path());
    const QStringList names = environment.keys();
    for (const QString &name : names)
        qputenv(name.toLocal8Bit().constData(), environment.value(name).toLocal8Bit());
}

int runFailingOnBadConnections(QObject *testObject, int argc, char **argv)
{
    QTest::qInit(testObject, argc, argv);
    // After the test library's own handler, which qInit installs and which reports the warning.
    testLibraryHandler = qInstallMessageHandler(failOnBadConnection);
    const int failures = QTest::qRun();
    QTest::qCleanup();
    return failures;
}

} // namespace testsupport
