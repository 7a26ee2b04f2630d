# korvix_add_test(<name> SOURCES <files...> [LIBRARIES <targets...>] [SANDBOX] [TIMEOUT <s>] [LABELS <l...>])
#
# Builds a QtTest executable and registers it with CTest. Widgets run on the offscreen
# platform. SANDBOX runs the test inside `usbsim sandbox`, the private mount namespace in
# which only simulated USB serial adapters exist, so a test never sees or touches the
# host's own ports; started any other way, such a test refuses to run.
function(korvix_add_test name)
    cmake_parse_arguments(T "SANDBOX" "TIMEOUT" "SOURCES;LIBRARIES;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt5::Test korvix_testsupport ${T_LIBRARIES})
    if(T_SANDBOX)
        target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/sandboxonly.cpp)
        target_link_libraries(${name} PRIVATE usbsim_lib)
        add_test(NAME ${name} COMMAND $<TARGET_FILE:usbsim> sandbox -- $<TARGET_FILE:${name}>)
        list(APPEND T_LABELS sandbox)
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KORVIX_BINARY=$<TARGET_FILE:korvix>;USBSIM_BINARY=$<TARGET_FILE:usbsim>"
        TIMEOUT ${T_TIMEOUT}
        LABELS "${T_LABELS}")
endfunction()
