# kalorix_add_test(NAME source... [LIBS lib...] [TIMEOUT s])
# Every test program runs offscreen, with a time-out and its own scratch folder
# (exported as KALORIX_TEST_TMP) so parallel runs never share files.
function(kalorix_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "LIBS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    add_executable(${name} ${T_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE Qt5::Test kalorix_testsupport ${T_LIBS})
    set(scratch "${CMAKE_CURRENT_BINARY_DIR}/scratch/${name}")
    file(MAKE_DIRECTORY "${scratch}")
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY "${scratch}")
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KALORIX_TEST_TMP=${scratch};KALORIX_SHARED_TESTDATA=${KALORIX_SHARED_TESTDATA}")
endfunction()
