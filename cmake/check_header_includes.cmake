# Run by CTest (see OrvaneHeaderCheck.cmake): compiles a translation unit that includes only
# HEADER with -H and fails when a header the compiler opens lies in a FORBID folder, or,
# with EXPECT_FOUND, when none does.
include(${CONFIG})

file(MAKE_DIRECTORY ${WORK_DIR})
set(unit ${WORK_DIR}/unit.cpp)
file(WRITE ${unit} "#include \"${HEADER}\"\n")
# As on the compile line: the compiler's own folders are not named again (an -I for one of
# them can change which header #include_next finds).
list(REMOVE_DUPLICATES INCLUDES)
if(IMPLICIT_INCLUDES)
    list(REMOVE_ITEM INCLUDES ${IMPLICIT_INCLUDES})
endif()
list(REMOVE_DUPLICATES DEFINITIONS)
set(args)
foreach(dir IN LISTS INCLUDES)
    list(APPEND args "-I${dir}")
endforeach()
foreach(definition IN LISTS DEFINITIONS)
    list(APPEND args "-D${definition}")
endforeach()
execute_process(COMMAND ${COMPILER} ${STANDARD} ${args} -fsyntax-only -H ${unit}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE tree)
# A unit that does not compile lists only part of its headers: that is no pass.
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${HEADER} does not compile on its own:\n${out}${tree}")
endif()

# -H writes one line per opened header, its depth as the number of leading dots.
string(REGEX MATCHALL "[^\n]+" lines "${tree}")
list(JOIN FORBID "|" folders)
list(JOIN FORBID ", " names)
set(chain)
set(found "")
set(opened 0)
foreach(line IN LISTS lines)
    if(NOT line MATCHES "^(\\.+) (.+)$")
        continue()
    endif()
    math(EXPR opened "${opened} + 1")
    string(LENGTH "${CMAKE_MATCH_1}" depth)
    set(path "${CMAKE_MATCH_2}")
    # The chain holds the headers that include this one, outermost first; only where it
    # first enters a forbidden folder is reported, not what that header includes in turn.
    math(EXPR keep "${depth} - 1")
    list(SUBLIST chain 0 ${keep} chain)
    list(JOIN chain "\n" outer)
    list(APPEND chain "${path}")
    if(path MATCHES "(^|/)(${folders})/" AND NOT outer MATCHES "(^|/)(${folders})/")
        list(JOIN chain "\n    -> " through)
        string(APPEND found "  ${through}\n")
    endif()
endforeach()
if(opened EQUAL 0)
    message(FATAL_ERROR "the compiler listed no headers for ${HEADER}:\n${tree}")
endif()

if(EXPECT_FOUND)
    if(found STREQUAL "")
        message(FATAL_ERROR "${HEADER} was expected to reach a header of ${names}, and "
                            "the check saw none among ${opened}")
    endif()
    message(STATUS "the check saw the forbidden headers:\n${found}")
elseif(NOT found STREQUAL "")
    message(FATAL_ERROR "${HEADER} reaches headers of ${names}:\n${found}")
else()
    message(STATUS "${HEADER} opens ${opened} headers, none of ${names}")
endif()
