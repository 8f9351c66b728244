# The relink kit of korvel.exe (cmake -P, target korvel_relink_kit): what a
# user needs to link Korvel again against a Qt they changed, as the LGPL asks
# of a program that links Qt statically. It takes the link command CMake wrote
# for korvel (LINK_TXT, run in LINK_DIR), copies every archive and object of
# Korvel's build that the command names into lib/, writes the command as
# relink.sh with Qt's prefix left to the user ($QT), adds the scripts that build
# Qt the same way and zips the lot into OUTPUT.
#
# -D: LINK_TXT, LINK_DIR, BUILD_DIR, QT_PREFIX, SOURCE_DIR, VERSION, OUTPUT
foreach(variable LINK_TXT LINK_DIR BUILD_DIR QT_PREFIX SOURCE_DIR VERSION OUTPUT)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "RelinkKit.cmake needs -D${variable}=...")
    endif()
endforeach()
if(NOT EXISTS ${LINK_TXT})
    message(FATAL_ERROR "No link command at ${LINK_TXT} (the relink kit needs the Makefile generator)")
endif()

get_filename_component(OUTPUT ${OUTPUT} ABSOLUTE)
get_filename_component(name ${OUTPUT} NAME_WLE)
get_filename_component(staging ${OUTPUT} DIRECTORY)
set(kit ${staging}/${name})
file(REMOVE_RECURSE ${kit})
file(MAKE_DIRECTORY ${kit}/lib ${kit}/qt/qt-mingw-patches)

# The link is the command that writes the program; the lines before it pack
# the object files into objects.a, which the kit takes whole.
file(STRINGS ${LINK_TXT} lines)
set(link "")
foreach(line IN LISTS lines)
    if(line MATCHES " -o ")
        set(link "${line}")
    endif()
endforeach()
if(link STREQUAL "")
    message(FATAL_ERROR "No link line in ${LINK_TXT}")
endif()
separate_arguments(words UNIX_COMMAND "${link}")
# Response files hold the objects and the libraries.
set(expanded)
foreach(word IN LISTS words)
    if(word MATCHES "^@(.+)$")
        file(READ ${LINK_DIR}/${CMAKE_MATCH_1} response)
        string(STRIP "${response}" response)
        separate_arguments(response_words UNIX_COMMAND "${response}")
        list(APPEND expanded ${response_words})
    else()
        list(APPEND expanded ${word})
    endif()
endforeach()

list(POP_FRONT expanded compiler)
get_filename_component(compiler ${compiler} NAME)
set(command "exec ${compiler}")
set(output_next FALSE)
foreach(word IN LISTS expanded)
    if(output_next)
        string(APPEND command " korvel.exe")
        set(output_next FALSE)
        continue()
    elseif(word STREQUAL "-o")
        string(APPEND command " -o")
        set(output_next TRUE)
        continue()
    elseif(word MATCHES "^-Wl,-Map=" OR word MATCHES "^-Wl,--out-implib")
        continue()
    endif()
    set(path ${word})
    if(NOT IS_ABSOLUTE ${path})
        set(path ${LINK_DIR}/${word})
    endif()
    if(NOT word MATCHES "^-" AND EXISTS ${path} AND NOT IS_DIRECTORY ${path})
        file(REAL_PATH ${path} path)
        string(FIND "${path}" "${QT_PREFIX}/" in_qt)
        if(in_qt EQUAL 0)
            file(RELATIVE_PATH relative ${QT_PREFIX} ${path})
            string(APPEND command " \"\$QT/${relative}\"")
            continue()
        endif()
        string(FIND "${path}" "${BUILD_DIR}/" in_build)
        if(in_build EQUAL 0 OR NOT path MATCHES "^/usr/")
            # Korvel's own archives, and what was built for it (SQLite): into
            # the kit, named after their place in the build.
            file(RELATIVE_PATH relative ${BUILD_DIR} ${path})
            if(relative MATCHES "^\\.\\./")
                get_filename_component(relative ${path} NAME)
            endif()
            string(REPLACE "/" "_" flat ${relative})
            string(REPLACE "CMakeFiles_" "" flat ${flat})
            file(COPY_FILE ${path} ${kit}/lib/${flat})
            string(APPEND command " 'lib/${flat}'")
            continue()
        endif()
    endif()
    string(REPLACE "${QT_PREFIX}" "\$QT" word "${word}")
    if(word MATCHES "\\$QT")
        string(APPEND command " \"${word}\"")
    else()
        string(APPEND command " '${word}'")
    endif()
endforeach()

file(WRITE ${kit}/relink.sh "#!/bin/sh
# Links korvel.exe ${VERSION} again: Korvel's own object files and libraries
# in lib/, against the static Qt for mingw-w64 whose install prefix QT names
# (built with qt/build-qt-mingw.sh, changed as you like), with Debian's
# mingw-w64 g++ (package g++-mingw-w64-x86-64-posix).
set -eu
: \"\${QT:?set QT to the install prefix of your static Qt for mingw-w64}\"
cd \"\$(dirname \"\$0\")\"
${command}
")
file(CHMOD ${kit}/relink.sh PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
     GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

file(COPY ${SOURCE_DIR}/tools/build-qt-mingw.sh ${SOURCE_DIR}/tools/debian-source.sh
     DESTINATION ${kit}/qt)
file(GLOB patches ${SOURCE_DIR}/tools/qt-mingw-patches/*.patch)
file(COPY ${patches} DESTINATION ${kit}/qt/qt-mingw-patches)
file(WRITE ${kit}/README.txt "Relink kit of korvel.exe ${VERSION}

Qt is linked into korvel.exe statically under the GNU Lesser General Public
License version 3. This kit lets you link korvel.exe again against a Qt you
changed:

1. Build your Qt: on Debian 12 with the qt6-base-dev of the version
   THIRD-PARTY-NOTICES.txt names, qt/build-qt-mingw.sh builds Debian's
   qt6-base source package of that version static for 64-bit Windows, with
   the patches in qt/qt-mingw-patches and the configuration Korvel's Qt was
   built with. Change the source it unpacks (in the folder it prints) and run
   it again; qt/build-qt-mingw.sh --print-prefix prints where it installs.
2. QT=<that prefix> ./relink.sh
   writes korvel.exe here, from Korvel's object files and libraries in lib/.
")

file(REMOVE ${OUTPUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUTPUT} --format=zip ${name}
                WORKING_DIRECTORY ${staging} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "Could not write ${OUTPUT}")
endif()
