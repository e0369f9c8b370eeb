# Warnings and sanitizers for every target of the project.
add_compile_options(-Wall -Wextra -Wno-missing-field-initializers)
if(TORNYX_WERROR)
    add_compile_options(-Werror)
endif()
if(TORNYX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
# The fuzz build instruments every target for coverage, the libraries
# included; only the fuzz targets link libFuzzer's main (fuzz/CMakeLists.txt).
if(TORNYX_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# tornyx_add_test(name LABEL label [GUI] SOURCES ... LIBS ...)
# GUI tests get a QApplication on the offscreen platform, the others a
# QCoreApplication.
function(tornyx_add_test name)
    cmake_parse_arguments(T "GUI" "LABEL" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    if(T_GUI)
        set(main tornyx_test_gui_main)
    else()
        set(main tornyx_test_main)
    endif()
    target_link_libraries(${name} PRIVATE ${T_LIBS} tornyx_test_support ${main} GTest::gtest)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABEL}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8" TIMEOUT 180)
    # The unit slice can be built alone (the sanitizer build does).
    if(T_LABEL STREQUAL "unit")
        set_property(GLOBAL APPEND PROPERTY TORNYX_UNIT_TESTS ${name})
    endif()
endfunction()
