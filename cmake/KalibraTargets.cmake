# Small helpers so that each target is a few lines in its folder's CMakeLists.txt.

set(KALIBRA_WARNINGS -Wall -Wextra -Wpedantic -Werror -Wshadow -Wnon-virtual-dtor
    -Wold-style-cast -Wcast-align -Woverloaded-virtual -Wno-missing-field-initializers)
set(KALIBRA_QT_DEFINITIONS QT_NO_CAST_TO_ASCII QT_NO_FOREACH QT_NO_KEYWORDS
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

function(kalibra_apply_options target)
    target_compile_options(${target} PRIVATE ${KALIBRA_WARNINGS})
    target_compile_definitions(${target} PRIVATE ${KALIBRA_QT_DEFINITIONS})
    if(KALIBRA_SANITIZE)
        string(REPLACE ";" "," sanitizers "${KALIBRA_SANITIZE}")
        target_compile_options(${target} PUBLIC -fsanitize=${sanitizers} -fno-omit-frame-pointer
            -fno-sanitize-recover=all)
        target_link_options(${target} PUBLIC -fsanitize=${sanitizers})
    endif()
endfunction()

# kalibra_library(name SOURCES ... [DEPS ...]): a static library of one folder.
function(kalibra_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    kalibra_apply_options(${name})
endfunction()

# kalibra_executable(name SOURCES ... [DEPS ...]): a program in build/bin.
function(kalibra_executable name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
    kalibra_apply_options(${name})
endfunction()

# kalibra_test(name SOURCES ... [DEPS ...] [TIMEOUT s] [LABELS ...]): a GoogleTest program
# registered with ctest. Tests run on Qt's offscreen platform with their own temporary HOME.
function(kalibra_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock kalibra_testsupport)
    kalibra_apply_options(${name})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
        LABELS "${ARG_LABELS}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KALIBRA_TEST=1")
endfunction()
