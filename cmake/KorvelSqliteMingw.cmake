# The static SQLite for 64-bit Windows that tools/build-sqlite-mingw.sh builds
# from Debian's sqlite3 source and keeps in its cache. Put where find_package
# looks when it is there; without it the Windows programs keep no history.
if(NOT KORVEL_SQLITE_MINGW_PREFIX)
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/tools/build-sqlite-mingw.sh --print-prefix
                    OUTPUT_VARIABLE prefix OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "tools/build-sqlite-mingw.sh --print-prefix failed")
    endif()
    set(KORVEL_SQLITE_MINGW_PREFIX ${prefix} CACHE PATH "The static SQLite for mingw")
endif()
if(EXISTS ${KORVEL_SQLITE_MINGW_PREFIX}/lib/libsqlite3.a)
    list(APPEND CMAKE_FIND_ROOT_PATH ${KORVEL_SQLITE_MINGW_PREFIX})
    list(APPEND CMAKE_PREFIX_PATH ${KORVEL_SQLITE_MINGW_PREFIX})
else()
    message(STATUS "No SQLite for mingw in ${KORVEL_SQLITE_MINGW_PREFIX}: the programs keep no "
                   "history of saves; tools/build-sqlite-mingw.sh builds it (about 3 minutes, once)")
endif()
