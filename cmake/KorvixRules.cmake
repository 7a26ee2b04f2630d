# korvix_rules: the compile and link rules of the project. The top CMakeLists.txt links it to
# every target, so a new subsystem, test or tool follows them without asking.
#
# Warnings: Qt's headers come in as system headers, so -Wold-style-cast, -Wshadow, -Wcast-qual
# and the rest see only our code. KORVIX_WERROR makes every warning an error; the test command
# turns it on, and it stays off by default for people building with other compilers.
#
# Every C++ target has Qt's strict iterators (an iterator is never silently made or compared as a
# const_iterator, and a QVector's iterators are classes, not pointers): the definition changes
# types, so the libraries and the tests that link them must agree on it.
#
# The program's own libraries (those with the target property KORVIX_STRICT_QT) also follow
# Qt's strict rules: no implicit conversion between char strings or byte arrays and QString or
# QUrl, no narrowing in connect(), no API that Qt deprecated before 5.15. Tests and tools may
# keep the conveniences.
#
# Hardening, outside the sanitizer build (whose run-time checks take the place of fortified
# functions): fortified C library calls where the optimizer can see buffer sizes, stack
# protectors, and executables whose relocations are resolved at start and then read-only.
option(KORVIX_WERROR "Treat compiler warnings as errors" OFF)

add_library(korvix_rules INTERFACE)
target_compile_options(korvix_rules INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wcast-align
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual>
    $<$<BOOL:${KORVIX_WERROR}>:-Werror>)

set(strict_qt_definitions
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_CAST_FROM_BYTEARRAY
    QT_USE_QSTRINGBUILDER
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_DISABLE_DEPRECATED_BEFORE=0x050F00)
target_compile_definitions(korvix_rules INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:QT_STRICT_ITERATORS>
    "$<$<BOOL:$<TARGET_PROPERTY:KORVIX_STRICT_QT>>:${strict_qt_definitions}>")

if(NOT KORVIX_SANITIZE)
    # Fortification needs the optimizer; without it glibc warns instead.
    target_compile_definitions(korvix_rules INTERFACE
        $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
    target_compile_options(korvix_rules INTERFACE -fstack-protector-strong)
    target_link_options(korvix_rules INTERFACE
        "$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:LINKER:-z,relro,-z,now>")
endif()
