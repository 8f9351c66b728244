# korvel_notices: ${CMAKE_BINARY_DIR}/notices/THIRD-PARTY-NOTICES.txt, every
# third-party component the shipped programs link, with its version and its
# licence text (packaging/notices/notices.py). On Windows it reads the linker's
# map of each program, as Qt, SQLite and the C++ runtime are linked in; on
# Linux the shared libraries each program needs. The installers and the Debian
# package carry the file; the About window and the manual point to it.
# Included from the top level once every program exists.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(KORVEL_NOTICES ${CMAKE_BINARY_DIR}/notices/THIRD-PARTY-NOTICES.txt)
set(notices_dir ${PROJECT_SOURCE_DIR}/packaging/notices)
set(programs korvel-cli)
if(TARGET korvel)
    list(APPEND programs korvel)
endif()

execute_process(COMMAND dpkg-query -W -f=\${Version} qt6-base-dev OUTPUT_VARIABLE KORVEL_QT_VERSION)
set(notices_args --own ${CMAKE_BINARY_DIR})
if(WIN32)
    set(title "Korvel ${PROJECT_VERSION} for Windows: third-party notices")
    set(preface ${CMAKE_BINARY_DIR}/notices/preface.txt)
    configure_file(${notices_dir}/windows.txt.in ${preface} @ONLY)
    foreach(program IN LISTS programs)
        set(map ${CMAKE_BINARY_DIR}/notices/${program}.map)
        target_link_options(${program} PRIVATE -Wl,-Map=${map})
        get_target_property(link_dir ${program} BINARY_DIR)
        list(APPEND notices_args --map ${map}=${link_dir})
    endforeach()
    list(APPEND notices_args --built "SQLite:libsqlite3-dev:${KORVEL_SQLITE_MINGW_PREFIX}"
         --name "g++-mingw-w64-x86-64-posix=GCC's C++ runtime (libstdc++)"
         --name "gcc-mingw-w64-x86-64-posix=GCC's runtime (libgcc)"
         --name "mingw-w64-x86-64-dev=mingw-w64 runtime and winpthreads")
    if(KORVEL_QT_MINGW_PREFIX)
        # build-qt-mingw.sh keeps the unpacked source beside its prefix.
        list(APPEND notices_args --built "Qt 6 (qtbase):qt6-base-dev:${KORVEL_QT_MINGW_PREFIX}"
             --qt-source ${KORVEL_QT_MINGW_PREFIX}/../src)
        # Qt's own translations go beside korvel.exe (translations/CMakeLists.txt).
        foreach(language IN LISTS KORVEL_LANGUAGES)
            list(APPEND notices_args --file ${KORVEL_QT_TRANSLATIONS_SOURCE}/qtbase_${language}.qm)
        endforeach()
    endif()
else()
    list(APPEND programs korvel-sim)
    set(title "Korvel ${PROJECT_VERSION}: third-party notices")
    set(preface ${CMAKE_BINARY_DIR}/notices/preface.txt)
    configure_file(${notices_dir}/linux.txt.in ${preface} @ONLY)
    foreach(program IN LISTS programs)
        list(APPEND notices_args --elf $<TARGET_FILE:${program}>)
    endforeach()
endif()

add_custom_command(OUTPUT ${KORVEL_NOTICES}
    COMMAND ${Python3_EXECUTABLE} ${notices_dir}/notices.py ${KORVEL_NOTICES} --title ${title}
            --preface ${preface} ${notices_args}
    DEPENDS ${programs} ${notices_dir}/notices.py ${preface}
    COMMENT "Writing the third-party notices from what the programs link"
    VERBATIM)
add_custom_target(korvel_notices ALL DEPENDS ${KORVEL_NOTICES})
