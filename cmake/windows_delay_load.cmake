# The system libraries the programs use that are not KnownDLLs are delay-loaded: the loader
# resolves static imports before wWinMain runs, searching the program's folder first, so a
# wininet.dll planted beside SongDeck.exe would run. Delay-loaded, each is loaded on first use,
# after wWinMain has restricted the search to System32 (SetDefaultDllDirectories). The delay-
# import libraries are made from MinGW's import libraries (every export they name).
# Calls go through the functions' stubs, not __declspec(dllimport) pointers: binutils' delay-
# import libraries leave those pointers empty until a stub has run once.
add_compile_definitions(DECLSPEC_IMPORT=)
set(SONGDECK_DELAY_LOADED wininet bcrypt crypt32 version comctl32)
set(SONGDECK_DELAY_IMPORT_LIBS "")
foreach(name IN LISTS SONGDECK_DELAY_LOADED)
    find_library(import_lib_${name} NAMES lib${name}.a REQUIRED)
    execute_process(COMMAND ${CMAKE_NM} ${import_lib_${name}} OUTPUT_VARIABLE symbols
                    COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL " I __imp__[^\n]+" imports "${symbols}")
    list(TRANSFORM imports REPLACE "^ I __imp__" "")
    list(REMOVE_DUPLICATES imports)
    list(JOIN imports "\n" exports)
    set(def ${CMAKE_BINARY_DIR}/delay-load/${name}.def)
    file(WRITE ${def}.new "LIBRARY ${name}.dll\nEXPORTS\n${exports}\n")
    execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${def}.new ${def})
    set(lib ${CMAKE_BINARY_DIR}/delay-load/lib${name}_delay.a)
    add_custom_command(OUTPUT ${lib}
        COMMAND ${CMAKE_DLLTOOL} -d ${def} -y ${lib} -D ${name}.dll -k
        DEPENDS ${def} VERBATIM)
    list(APPEND SONGDECK_DELAY_IMPORT_LIBS ${lib})
endforeach()
add_custom_target(songdeck_delay_import_libs DEPENDS ${SONGDECK_DELAY_IMPORT_LIBS})
