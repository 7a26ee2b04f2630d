#pragma once

#include <QApplication>

namespace testsupport {

// Gives the process a fresh, empty home with its own configuration, data, cache and run-time
// directories, so that no test reads or writes the user's own. Call before the application
// object exists, which reads some of them.
void isolateHome();

// Runs the test object as QTest::qExec does, but fails the test function during which a
// "QObject::connect:" warning appears: connections in the string-based form are checked only
// when they are made, and a misspelt signal or slot shows as nothing but that warning.
int runFailingOnBadConnections(QObject *testObject, int argc, char **argv);

} // namespace testsupport

#define KORVIX_TEST_MAIN(TestObject)                                                               \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        testsupport::isolateHome();                                                                \
        QApplication application(argc, argv);                                                      \
        TestObject test;                                                                           \
        return testsupport::runFailingOnBadConnections(&test, argc, argv);                         \
    }
