# korvane_add_test(NAME <target> LABEL <subsystem> SOURCES ... [LIBS ...])
# One GoogleTest executable; each of its tests becomes a CTest test carrying the
# subsystem label.
function(korvane_add_test)
    cmake_parse_arguments(T "" "NAME;LABEL" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${T_NAME}
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${T_LABEL})
endfunction()

# korvane_add_benchmark(NAME <target> SOURCES ... [LIBS ...])
function(korvane_add_benchmark)
    cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${B_NAME} ${B_SOURCES})
    target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
