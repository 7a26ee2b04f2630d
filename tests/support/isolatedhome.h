#pragma once

#include <QString>

// Every test process gets a fresh, empty home and configuration directory, made before the
// first settings or path lookup, so that no test reads or writes the user's own settings.
namespace testsupport {

// Call before the application object exists; QTEST_MAIN based tests get it through
// KORVIX_ISOLATE_HOME in their translation unit.
void isolateHome();
QString isolatedHomePath();

} // namespace testsupport

#define KORVIX_ISOLATE_HOME                                                                        \
    static void korvixIsolateHome()                                                                \
    {                                                                                              \
        testsupport::isolateHome();                                                                \
    }                                                                                              \
    Q_CONSTRUCTOR_FUNCTION(korvixIsolateHome)
