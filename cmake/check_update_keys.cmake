# Refuses to make a package that trusts the development update key, whose private half lies in
# the repository, or no key at all, which accepts unsigned manifests: anyone could then sign
# an update that every installation takes. A test or demo package says so explicitly with
# ALLOW (the build option SONGDECK_ALLOW_DEVELOPMENT_KEY) or SONGDECK_ALLOW_DEVELOPMENT_KEY=1
# in the environment of the packaging run.
#   cmake -DKEYS=key1,key2 -DDEVELOPMENT_KEY=... -DALLOW=OFF -P check_update_keys.cmake
if(ALLOW OR "$ENV{SONGDECK_ALLOW_DEVELOPMENT_KEY}" STREQUAL "1")
    return()
endif()
string(REPLACE "," ";" keys "${KEYS}")
set(trusted "")
foreach(key IN LISTS keys)
    string(STRIP "${key}" key)
    if(NOT key STREQUAL "")
        list(APPEND trusted "${key}")
    endif()
endforeach()
set(remedy "Set SONGDECK_UPDATE_KEYS to the release key (see the README's release steps). A test "
    "package may trust the development key when configured with "
    "-DSONGDECK_ALLOW_DEVELOPMENT_KEY=ON.")
if(trusted STREQUAL "")
    message(FATAL_ERROR "No package without an update key: SONGDECK_UPDATE_KEYS is empty, so the "
        "client would accept unsigned update manifests. " ${remedy})
endif()
list(FIND trusted "${DEVELOPMENT_KEY}" at)
if(NOT at EQUAL -1)
    message(FATAL_ERROR "No package with the development key: SONGDECK_UPDATE_KEYS holds the "
        "development update key, whose private half is in the repository. " ${remedy})
endif()
