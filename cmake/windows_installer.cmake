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
list(FILTER setup_pages EXCLUDE REGEX "/\\.gitkeep$")
# Setup puts each page in place and records it (SongDeck.files), then the folders it made,
# deepest first: the uninstaller removes exactly those files, and a folder only when empty.
set(pages_nsh "")
set(page_folders "res")
foreach(page IN LISTS setup_pages)
    file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR}/resources ${page})
    get_filename_component(folder ${relative} DIRECTORY)
    string(REPLACE "/" "\\" folder_win "${folder}")
    string(REPLACE "/" "\\" relative_win "${relative}")
    string(APPEND pages_nsh "SetOutPath \"$INSTDIR\\${folder_win}\"\nFile \"${page}\"\n"
           "FileWriteUTF16LE $9 \"${relative_win}$\\r$\\n\"\n")
    while(NOT folder STREQUAL "res" AND NOT folder STREQUAL "")
        list(APPEND page_folders ${folder})
        get_filename_component(folder ${folder} DIRECTORY)
    endwhile()
endforeach()
list(REMOVE_DUPLICATES page_folders)
list(SORT page_folders ORDER DESCENDING)
foreach(folder IN LISTS page_folders)
    string(REPLACE "/" "\\" folder_win "${folder}")
    string(APPEND pages_nsh "FileWriteUTF16LE $9 \"${folder_win}\\$\\r$\\n\"\n")
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/setup-pages.nsh.new "${pages_nsh}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different
                ${CMAKE_BINARY_DIR}/setup-pages.nsh.new ${CMAKE_BINARY_DIR}/setup-pages.nsh)
# The programs go in without their debugging sections, which would make most of the setup.
add_custom_command(OUTPUT ${setup}
    COMMAND ${SONGDECK_CHECK_UPDATE_KEYS}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
    COMMAND ${CMAKE_STRIP} --strip-debug -o ${stage}/SongDeck.exe $<TARGET_FILE:SongDeck>
    COMMAND ${CMAKE_STRIP} --strip-debug -o ${stage}/RunSongDeck.exe $<TARGET_FILE:RunSongDeck>
    COMMAND ${SONGDECK_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DOUTFILE=${setup}
            -DSONGDECK_EXE=${stage}/SongDeck.exe -DRUNSONGDECK_EXE=${stage}/RunSongDeck.exe
            -DPAGES_NSH=${CMAKE_BINARY_DIR}/setup-pages.nsh
            ${CMAKE_SOURCE_DIR}/installer/SongDeckSetup.nsi
    DEPENDS SongDeck RunSongDeck ${CMAKE_SOURCE_DIR}/installer/SongDeckSetup.nsi ${setup_pages}
            ${CMAKE_BINARY_DIR}/setup-pages.nsh
    COMMENT "Making SongDeckSetup.exe"
    VERBATIM)
add_custom_target(SongDeckSetup DEPENDS ${setup})
