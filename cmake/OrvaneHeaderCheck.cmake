# A test that keeps a library's dependencies out of a public header: it compiles a
# translation unit that includes only HEADER, lists every header the compiler opens for it
# (-H), and fails when one of them lies in a FORBID folder (libavutil, ...), naming the
# chain of includes that reached it.
#
#   orvane_add_header_check(<test> HEADER <as included> TARGET <target> FORBID <folder>...)
#       HEADER is compiled with TARGET's include paths and definitions, as TARGET's users
#       see it.
#   orvane_add_header_check(<test> HEADER <...> INCLUDES <dir>... FORBID <...> EXPECT_FOUND)
#       Explicit include paths instead of a target's; EXPECT_FOUND turns the test round
#       (it passes only when a forbidden header is reached), for the check's own test.

set(ORVANE_HEADER_CHECK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/check_header_includes.cmake)

function(orvane_add_header_check name)
    cmake_parse_arguments(C "EXPECT_FOUND" "HEADER;TARGET" "INCLUDES;FORBID" ${ARGN})
    if(NOT C_HEADER OR NOT C_FORBID OR (NOT C_TARGET AND NOT C_INCLUDES))
        message(FATAL_ERROR "orvane_add_header_check(${name}): HEADER, FORBID and TARGET or "
                            "INCLUDES are needed")
    endif()
    if(C_TARGET)
        # Evaluated on the target, so the include paths of everything it links come along.
        set(includes "$<TARGET_PROPERTY:${C_TARGET},INCLUDE_DIRECTORIES>")
        set(definitions "$<TARGET_PROPERTY:${C_TARGET},COMPILE_DEFINITIONS>")
    else()
        set(includes "${C_INCLUDES}")
        set(definitions "")
    endif()
    # The lists go through a generated file: a test's command line would split them.
    set(config ${CMAKE_CURRENT_BINARY_DIR}/${name}.headercheck.cmake)
    file(GENERATE OUTPUT ${config} CONTENT
"set(COMPILER [==[${CMAKE_CXX_COMPILER}]==])
set(STANDARD [==[${CMAKE_CXX20_STANDARD_COMPILE_OPTION}]==])
set(HEADER [==[${C_HEADER}]==])
set(INCLUDES [==[${includes}]==])
set(DEFINITIONS [==[${definitions}]==])
set(IMPLICIT_INCLUDES [==[${CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES}]==])
set(FORBID [==[${C_FORBID}]==])
set(EXPECT_FOUND ${C_EXPECT_FOUND})
set(WORK_DIR [==[${CMAKE_CURRENT_BINARY_DIR}/${name}.headercheck]==])
")
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -DCONFIG=${config}
                                  -P ${ORVANE_HEADER_CHECK_SCRIPT})
endfunction()
