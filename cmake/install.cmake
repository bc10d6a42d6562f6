# Installing: the program folder (client, launcher, pages) under lib/songdeck, a command in
# bin, the icons in the hicolor theme and a desktop entry; and a Debian package of the same.
set(SONGDECK_PROGRAM_SUBDIR lib/songdeck)
# Installing and packaging take what the build made; they do not build everything first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

install(TARGETS SongDeck RunSongDeck DESTINATION ${SONGDECK_PROGRAM_SUBDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/res/ DESTINATION ${SONGDECK_PROGRAM_SUBDIR}/res
        PATTERN ".gitkeep" EXCLUDE)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/icons/ DESTINATION ${SONGDECK_PROGRAM_SUBDIR}/icons)
# The application icon (resource 128) for menus and launchers.
foreach(size 32 48 64)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/128-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME songdeck.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/songdeck.svg
        DESTINATION share/icons/hicolor/scalable/apps)

# The desktop entry and the command name the program folder of the prefix given at install
# time (cmake --install --prefix), not the one configured.
install(CODE "
    set(program_dir \"\${CMAKE_INSTALL_PREFIX}/${SONGDECK_PROGRAM_SUBDIR}\")
    set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    set(SONGDECK_PROGRAM_DIR \"\${program_dir}\")
    configure_file(\"${CMAKE_SOURCE_DIR}/resources/songdeck.desktop.in\"
                   \"\${root}/share/applications/songdeck.desktop\" @ONLY)
    message(STATUS \"Installing: \${root}/share/applications/songdeck.desktop\")
    file(MAKE_DIRECTORY \"\${root}/bin\")
    file(CREATE_LINK \"../${SONGDECK_PROGRAM_SUBDIR}/RunSongDeck\" \"\${root}/bin/songdeck\" SYMBOLIC)
")

# Only the package carries the marker that leaves updates to the package manager (added to
# its staged files); a plain cmake --install (a per-user prefix) updates itself.
configure_file(${CMAKE_SOURCE_DIR}/cmake/package_marker.cmake.in
               ${CMAKE_BINARY_DIR}/debian/package_marker.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_BINARY_DIR}/debian/package_marker.cmake)
# Read by cpack before it builds anything: no package that trusts the development key.
file(WRITE ${CMAKE_BINARY_DIR}/debian/package_keys.cmake
     "set(KEYS \"${SONGDECK_UPDATE_KEYS}\")\n"
     "set(DEVELOPMENT_KEY \"${SONGDECK_DEV_UPDATE_KEY}\")\n"
     "set(ALLOW ${SONGDECK_ALLOW_DEVELOPMENT_KEY})\n"
     "include(\"${CMAKE_SOURCE_DIR}/cmake/check_update_keys.cmake\")\n")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/debian/package_keys.cmake)

set(SONGDECK_PROGRAM_DIR /usr/${SONGDECK_PROGRAM_SUBDIR})
foreach(script postinst prerm)
    configure_file(${CMAKE_SOURCE_DIR}/resources/debian/${script}
                   ${CMAKE_BINARY_DIR}/debian/${script} @ONLY FILE_PERMISSIONS
                   OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                   WORLD_READ WORLD_EXECUTE)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME songdeck)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "SongDeck maintainers <songdeck@quorvi.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop client of the Quorvi music service")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The client opens libcurl and libcrypto itself when the updater first needs them, so the
# shared-library scan cannot see them. 7.85 brought CURLOPT_PROTOCOLS_STR.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4 (>= 7.85.0), libssl3 (>= 3.0.0)")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_BINARY_DIR}/debian/postinst ${CMAKE_BINARY_DIR}/debian/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
