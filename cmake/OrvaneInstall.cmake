# The installed layout and the Debian package (`make package`):
#   bin/                 orvane and the command-line tools
#   lib/orvane/          the product's shared libraries (found through RUNPATH $ORIGIN)
#   share/orvane/help/   the help files; share/orvane/demo/ the demo sequence
#   share/applications/, share/icons/hicolor/, share/metainfo/  desktop integration
# The program finds Vexcore beside its libraries and its help in ../share/orvane/help.
set(orvane_libdir lib/orvane)

# Every shared library the product builds, wherever its folder, outside tests and benchmarks.
function(orvane_shared_libraries dir out)
    set(found)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(kind ${target} TYPE)
        if(kind STREQUAL "SHARED_LIBRARY")
            list(APPEND found ${target})
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        if(NOT sub MATCHES "/(tests|bench|fuzz)(/|$)")
            orvane_shared_libraries(${sub} more)
            list(APPEND found ${more})
        endif()
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()
orvane_shared_libraries(${PROJECT_SOURCE_DIR} shared_targets)
install(TARGETS ${shared_targets} LIBRARY DESTINATION ${orvane_libdir})
foreach(program orvane orvane-track qvxhost kernelinfo avidump)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION bin)
    endif()
endforeach()

if(TARGET orvanehelp)
    foreach(code deu enu por)
        install(FILES ${CMAKE_BINARY_DIR}/app/Orvane_${code}.chm DESTINATION share/orvane/help
                OPTIONAL)
    endforeach()
endif()
if(TARGET orvane_demo)
    install(DIRECTORY ${CMAKE_BINARY_DIR}/demo/ DESTINATION share/orvane/demo)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/orvane.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/app/shell/icons/orvane.png
        DESTINATION share/icons/hicolor/48x48/apps)
install(FILES ${PROJECT_SOURCE_DIR}/app/shell/icons/orvane@2x.png
        DESTINATION share/icons/hicolor/96x96/apps RENAME orvane.png)
configure_file(${PROJECT_SOURCE_DIR}/packaging/org.orvane.Orvane.metainfo.xml
               ${CMAKE_BINARY_DIR}/packaging/org.orvane.Orvane.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/org.orvane.Orvane.metainfo.xml
        DESTINATION share/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "Orvane developers <dev@orvane.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
