# The static Qt for 64-bit Windows that tools/build-qt-mingw.sh builds from
# Debian's qt6-base source and keeps in its cache; the host's Qt tools of the
# same version (moc, rcc, uic) serve it through QT_HOST_PATH.
if(NOT KORVEL_QT_MINGW_PREFIX)
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/tools/build-qt-mingw.sh --print-prefix
                    OUTPUT_VARIABLE prefix OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "tools/build-qt-mingw.sh --print-prefix failed")
    endif()
    set(KORVEL_QT_MINGW_PREFIX ${prefix} CACHE PATH "The static Qt for mingw")
endif()
if(NOT EXISTS ${KORVEL_QT_MINGW_PREFIX}/lib/cmake/Qt6/Qt6Config.cmake)
    message(FATAL_ERROR "No Qt for mingw in ${KORVEL_QT_MINGW_PREFIX}: run tools/build-qt-mingw.sh "
                        "first (20 to 40 minutes, once), or configure with KORVEL_BUILD_GUI=OFF")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${KORVEL_QT_MINGW_PREFIX})
list(APPEND CMAKE_PREFIX_PATH ${KORVEL_QT_MINGW_PREFIX})
set(QT_HOST_PATH /usr CACHE PATH "The host's Qt, whose tools the cross-build runs")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE_HOST}/cmake CACHE PATH "")
if(NOT EXISTS ${QT_HOST_PATH_CMAKE_DIR}/Qt6HostInfo)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "" FORCE)
endif()
