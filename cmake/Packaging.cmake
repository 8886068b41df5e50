# Desktop integration, manual pages, shell completion, the port capability and the Debian
# package.

set(NASFINDER_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/resources/debian)

# The programs this build makes; each brings its manual page and completion.
set(NASFINDER_PROGRAMS "")
foreach(program nasfinder nas-search nas-sim)
    if(TARGET ${program})
        list(APPEND NASFINDER_PROGRAMS ${program})
    endif()
endforeach()

# Manual pages: the version in their .TH line is the project's; compressed without a name or
# time stamp, so that the same sources give the same package.
set(NASFINDER_MAN_DIR ${PROJECT_BINARY_DIR}/man)
set(_nasfinder_man_pages "")
foreach(program IN LISTS NASFINDER_PROGRAMS)
    configure_file(${PROJECT_SOURCE_DIR}/resources/man/${program}.1
                   ${NASFINDER_MAN_DIR}/${program}.1 @ONLY)
    add_custom_command(OUTPUT ${NASFINDER_MAN_DIR}/${program}.1.gz
        COMMAND gzip -9nkf ${program}.1
        DEPENDS ${NASFINDER_MAN_DIR}/${program}.1
        WORKING_DIRECTORY ${NASFINDER_MAN_DIR}
        COMMENT "Compressing the manual page ${program}(1)"
        VERBATIM)
    list(APPEND _nasfinder_man_pages ${NASFINDER_MAN_DIR}/${program}.1.gz)
    install(FILES ${NASFINDER_MAN_DIR}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    # bash-completion loads a command's file by the command's name, from here under every
    # XDG data folder, so the same place serves /usr and /usr/local.
    install(FILES ${PROJECT_SOURCE_DIR}/resources/completion/${program}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endforeach()

configure_file(${NASFINDER_DEBIAN_DIR}/changelog ${PROJECT_BINARY_DIR}/debian/changelog COPYONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.gz
    COMMAND gzip -9nkf changelog
    DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/debian
    COMMENT "Compressing the changelog"
    VERBATIM)
add_custom_target(nasfinder_docs ALL DEPENDS ${_nasfinder_man_pages}
                                             ${PROJECT_BINARY_DIR}/debian/changelog.gz)

install(FILES ${PROJECT_BINARY_DIR}/debian/changelog.gz ${NASFINDER_DEBIAN_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(NASFINDER_BUILD_APP)
    install(FILES ${NASFINDER_LANGUAGE_FILES}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/nasfinder)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/io.github.nasfinder.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/io.github.nasfinder.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/nasfinder.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# The broadcast search listens on UDP port 67, which only root may bind unless the program holds
# cap_net_bind_service. Only the port helper gets it: the programs that search, which load Qt
# plugins the environment names and parse datagrams from the network, hold none. Installing as
# root sets it; otherwise the install says what to run.
install(CODE
    "set(NASFINDER_INSTALL_HELPER \"${NASFINDER_PORT_HELPER_DIR}/${NASFINDER_PORT_HELPER}\")")
install(CODE [=[
    if(IS_ABSOLUTE "${NASFINDER_INSTALL_HELPER}")
        set(_nasfinder_path "$ENV{DESTDIR}${NASFINDER_INSTALL_HELPER}")
    else()
        set(_nasfinder_path "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${NASFINDER_INSTALL_HELPER}")
    endif()
    execute_process(COMMAND id -u OUTPUT_VARIABLE _nasfinder_uid
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    find_program(_nasfinder_setcap setcap PATHS /usr/sbin /sbin)
    if(NOT EXISTS "${_nasfinder_path}")
        message(STATUS "Port capability: ${_nasfinder_path} is not installed, skipped")
    elseif(NOT _nasfinder_uid STREQUAL "0")
        message(STATUS "Port capability: not installing as root; to let nasfinder and nas-search "
                       "search by broadcast, run: "
                       "sudo setcap cap_net_bind_service=+ep ${_nasfinder_path}")
    elseif(NOT _nasfinder_setcap)
        message(STATUS "Port capability: setcap not found (Debian package libcap2-bin); "
                       "nasfinder and nas-search can search by broadcast only as root")
    else()
        execute_process(
            COMMAND ${_nasfinder_setcap} cap_net_bind_service=+ep "${_nasfinder_path}"
            RESULT_VARIABLE _nasfinder_result ERROR_VARIABLE _nasfinder_error)
        if(_nasfinder_result EQUAL 0)
            message(STATUS "Port capability: cap_net_bind_service set on ${_nasfinder_path}")
        else()
            message(STATUS "Port capability: setcap failed on ${_nasfinder_path}: "
                           "${_nasfinder_error}")
        endif()
    endif()
]=])

set(CPACK_PACKAGE_NAME nasfinder)
set(CPACK_PACKAGE_VENDOR "nasfinder developers")
set(CPACK_PACKAGE_CONTACT "nasfinder developers <nasfinder@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Finds network storage boxes on the local network")
# Wrapped by hand: the control file's description lines are 80 characters at most.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "nasfinder searches the local network for storage boxes by SSDP and by a\n"
    "broadcast search, lists them in a window with their host name, IP address\n"
    "and product, and opens a selected box's web interface or file share. The\n"
    "nas-search program does the same search from a terminal and prints a table\n"
    "or JSON Lines for scripts; nas-sim plays simulated boxes for tests.")
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/nasfinder/nasfinder)
set(CPACK_PACKAGE_INSTALL_DIRECTORY nasfinder)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Shared libraries (Qt, Boost, the C++ runtime) are found by dpkg-shlibdeps; the rest is what
# the programs need at run time without linking it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

# Capabilities do not survive in the package's archive, so the maintainer script sets them.
set(_nasfinder_postinst ${PROJECT_BINARY_DIR}/debian/postinst)
set(_nasfinder_helper
    ${CPACK_PACKAGING_INSTALL_PREFIX}/${NASFINDER_PORT_HELPER_DIR}/${NASFINDER_PORT_HELPER})
file(WRITE ${_nasfinder_postinst} "#!/bin/sh
# Lets the port helper bind UDP port 67 for the broadcast search of nasfinder and nas-search,
# which run it; nothing else of the package gets a capability.
set -e
if [ \"$1\" = configure ]; then
    helper=${_nasfinder_helper}
    if [ -x \"$helper\" ]; then
        setcap cap_net_bind_service=+ep \"$helper\" ||
            echo \"nasfinder: could not give $helper the port capability\" >&2
    fi
fi
exit 0
")
file(CHMOD ${_nasfinder_postinst} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
     GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${_nasfinder_postinst})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
