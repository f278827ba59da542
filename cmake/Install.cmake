# What `cmake --install` puts where, and the Debian package of it (cpack -G DEB).
# The programs find the shared files and the plug-in relative to their own
# folder (see src/core/common/InstallLayout.h.in).
foreach(program fleetwarden fleetwarden-cli fleetwarden-simfleet)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()
install(TARGETS RegFilter LIBRARY DESTINATION ${FLEETWARDEN_PLUGIN_DIR})

# The defaults that a user's first start copies into ~/.config/fleetwarden, the
# guide that Help shows, and the simulated fleet's example to try the console on.
install(FILES
    ${CMAKE_SOURCE_DIR}/resources/fleetwarden.ini
    ${CMAKE_SOURCE_DIR}/resources/fleetwarden.tpl
    ${CMAKE_SOURCE_DIR}/resources/simfleet-example.ini
    ${CMAKE_SOURCE_DIR}/resources/simfleet-lobby.reg
    ${CMAKE_SOURCE_DIR}/docs/user-guide.md
    DESTINATION ${FLEETWARDEN_DATA_DIR})
# The documentation folder may be left out of an installation (a system may
# exclude it), so the program reads the guide from its data folder and the
# documentation folder links to it.
file(RELATIVE_PATH guide_from_docdir
     /${FLEETWARDEN_DOC_DIR} /${FLEETWARDEN_DATA_DIR}/user-guide.md)
install(CODE "
    set(docdir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${FLEETWARDEN_DOC_DIR}\")
    file(MAKE_DIRECTORY \"\${docdir}\")
    message(STATUS \"Installing: \${docdir}/user-guide.md\")
    file(CREATE_LINK \"${guide_from_docdir}\" \"\${docdir}/user-guide.md\" SYMBOLIC)
")
if(TARGET fleetwarden)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/fleetwarden.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/fleetwarden.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)
endif()

set(CPACK_PACKAGE_NAME fleetwarden)
set(CPACK_PACKAGE_VENDOR "Fleetwarden")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Fleetwarden maintainers <fleetwarden@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console for a fleet of network thin-client terminals")
set(CPACK_PACKAGE_DESCRIPTION "A desktop console and a command line that discover \
thin-client terminals over SNMP version 1, list their identity, log their traps, \
edit their names and descriptions, and move configurations and firmware to and \
from them through an FTP staging server. Includes a simulated fleet to try it on.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The libraries the programs link (Qt 6 Widgets, net-snmp, libcurl), found by
# dpkg-shlibdeps from the binaries themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
