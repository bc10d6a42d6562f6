# The Windows setup program, SongDeckSetup.exe (NSIS): the client, its launcher and the pages,
# installed per user. Made by the target SongDeckSetup.
find_program(SONGDECK_MAKENSIS makensis)
if(NOT SONGDECK_MAKENSIS)
    message(WARNING "makensis not found (Debian package nsis): no SongDeckSetup.exe")
    return()
endif()
set(stage ${CMAKE_BINARY_DIR}/setup-stage)
set(setup ${CMAKE_BINARY_DIR}/SongDeckSetup.exe)
file(GLOB_RECURSE setup_pages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/res/*)
# The programs go in without their debugging sections, which would make most of the setup.
add_custom_command(OUTPUT ${setup}
    COMMAND ${SONGDECK_CHECK_UPDATE_KEYS}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
    COMMAND ${CMAKE_STRIP} --strip-debug -o ${stage}/SongDeck.exe $<TARGET_FILE:SongDeck>
    COMMAND ${CMAKE_STRIP} --strip-debug -o ${stage}/RunSongDeck.exe $<TARGET_FILE:RunSongDeck>
    COMMAND ${SONGDECK_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DOUTFILE=${setup}
            -DSONGDECK_EXE=${stage}/SongDeck.exe -DRUNSONGDECK_EXE=${stage}/RunSongDeck.exe
            -DRES_DIR=${CMAKE_SOURCE_DIR}/resources/res
            ${CMAKE_SOURCE_DIR}/installer/SongDeckSetup.nsi
    DEPENDS SongDeck RunSongDeck ${CMAKE_SOURCE_DIR}/installer/SongDeckSetup.nsi ${setup_pages}
    COMMENT "Making SongDeckSetup.exe"
    VERBATIM)
add_custom_target(SongDeckSetup DEPENDS ${setup})
