# Helpers shared by every target of the tree. Settings go on targets, never directory-wide.

set(ORVANE_VERSION_MAJOR ${PROJECT_VERSION_MAJOR})
set(ORVANE_VERSION_MINOR ${PROJECT_VERSION_MINOR})
set(ORVANE_VERSION_BUILD ${PROJECT_VERSION_PATCH})
set(ORVANE_VERSION_REVISION ${PROJECT_VERSION_TWEAK})

# Language level, warnings, hidden symbols and (optionally) sanitizers.
function(orvane_target_defaults target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    set_target_properties(${target} PROPERTIES
        CXX_EXTENSIONS OFF
        CXX_VISIBILITY_PRESET hidden
        C_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        POSITION_INDEPENDENT_CODE ON)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(ORVANE_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined
                               -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
    if(ORVANE_FUZZ)
        # Coverage for the fuzzer in every library it reaches; the fuzz targets add the driver.
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# A library of the tree with its namespaced alias (Orvane::<name>).
function(orvane_add_library name kind)
    add_library(${name} ${kind} ${ARGN})
    add_library(Orvane::${name} ALIAS ${name})
    orvane_target_defaults(${name})
endfunction()

# An executable that carries the product's version resource, so that the kernel's
# version query answers for it.
function(orvane_add_executable name)
    add_executable(${name} ${ARGN})
    orvane_target_defaults(${name})
    orvane_add_version_resource(${name})
endfunction()

function(orvane_add_version_resource target)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_resource.cpp)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version_resource.cpp.in ${out} @ONLY)
    target_sources(${target} PRIVATE ${out})
    target_link_libraries(${target} PRIVATE Orvane::platform)
    # The resource is looked up by name in the running executable.
    target_link_options(${target} PRIVATE -Wl,--export-dynamic-symbol=orvane_version_resource)
endfunction()

# The helpers the tests and the benchmarks share (tests/support: Orvane::testsupport,
# Orvane::testscene, Orvane::widgettestmain), added by the first part of the tree that needs
# them, so that the benchmarks have them in a build without the tests.
function(orvane_add_test_support)
    if(NOT TARGET testsupport)
        add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${PROJECT_BINARY_DIR}/tests/support)
    endif()
endfunction()

# One test executable, registered with CTest test by test. Tests make the data they need
# (tests/support has temporary folders and clips).
# WIDGETS: the tests need an application object; they get the shared widget-test main
# (Orvane::widgettestmain) and the offscreen platform.
function(orvane_add_test name)
    cmake_parse_arguments(T "WIDGETS" "" "SOURCES;LIBS;ENV" ${ARGN})
    if(T_WIDGETS)
        list(APPEND T_LIBS Orvane::widgettestmain)
        list(APPEND T_ENV QT_QPA_PLATFORM=offscreen)
    endif()
    add_executable(${name} ${T_SOURCES})
    orvane_target_defaults(${name})
    orvane_add_version_resource(${name})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
    if(NOT T_WIDGETS AND NOT "GTest::gtest_main" IN_LIST T_LIBS AND
       NOT "GTest::gmock_main" IN_LIST T_LIBS)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    # ENV variables are built into the executable (tests/testenvironment.cpp), so that a run
    # by hand and CTest's test discovery see them as CTest's runs do. CTest's own
    # ENVIRONMENT carries one variable only: gtest_discover_tests spreads a list-valued
    # property over the property arguments, which loses the lock and the timeout below.
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/testenvironment.cpp)
    string(REPLACE ";" "|" test_env "${T_ENV}")
    target_compile_definitions(${name} PRIVATE ORVANE_TEST_ENV="${test_env}")
    # The tests of one executable share its settings store and its scratch files, so they
    # run one at a time; different executables still run side by side.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                         PROPERTIES ENVIRONMENT
                                    "ORVANE_REGISTRY_ROOT=${CMAKE_CURRENT_BINARY_DIR}/${name}.registry"
                                    TIMEOUT 300 RESOURCE_LOCK ${name})
endfunction()
