# The Windows client's resource script, configured with the version and the icon files, which
# ImageMagick's convert makes from the PNGs of resources/icons (never kept in the sources).
# Sets SONGDECK_CLIENT_RC for the programs that carry these resources.
find_program(SONGDECK_CONVERT convert REQUIRED)

set(SONGDECK_RESOURCE_DIR ${CMAKE_BINARY_DIR}/generated/resources)
set(SONGDECK_ICON_128 ${SONGDECK_RESOURCE_DIR}/128.ico)
set(SONGDECK_ICON_133 ${SONGDECK_RESOURCE_DIR}/133.ico)
set(SONGDECK_MANIFEST ${CMAKE_SOURCE_DIR}/resources/windows/SongDeck.manifest)
set(icons ${CMAKE_SOURCE_DIR}/resources/icons)
# Icon 128 holds the window's big images (32 x 32 and up), icon 133 the small ones.
add_custom_command(OUTPUT ${SONGDECK_ICON_128}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SONGDECK_RESOURCE_DIR}
    COMMAND ${SONGDECK_CONVERT} ${icons}/128-32.png ${icons}/128-48.png ${icons}/128-64.png
            ${SONGDECK_ICON_128}
    DEPENDS ${icons}/128-32.png ${icons}/128-48.png ${icons}/128-64.png VERBATIM)
add_custom_command(OUTPUT ${SONGDECK_ICON_133}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SONGDECK_RESOURCE_DIR}
    COMMAND ${SONGDECK_CONVERT} ${icons}/133-16.png ${icons}/133-24.png ${icons}/133-32.png
            ${SONGDECK_ICON_133}
    DEPENDS ${icons}/133-16.png ${icons}/133-24.png ${icons}/133-32.png VERBATIM)
add_custom_target(songdeck_icons DEPENDS ${SONGDECK_ICON_128} ${SONGDECK_ICON_133})

set(SONGDECK_CLIENT_RC ${CMAKE_BINARY_DIR}/generated/SongDeck.rc)
configure_file(${CMAKE_SOURCE_DIR}/resources/windows/SongDeck.rc.in ${SONGDECK_CLIENT_RC} @ONLY)
# windres reads the icons and the manifest: the compiled script follows them.
set_source_files_properties(${SONGDECK_CLIENT_RC} PROPERTIES
    OBJECT_DEPENDS "${SONGDECK_ICON_128};${SONGDECK_ICON_133};${SONGDECK_MANIFEST}")

# Gives a Windows program the client's resources.
function(songdeck_add_client_resources target)
    target_sources(${target} PRIVATE ${SONGDECK_CLIENT_RC})
    add_dependencies(${target} songdeck_icons)
endfunction()
