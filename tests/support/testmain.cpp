#include "testmain.h"

#include <QTest>

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
