# korvel_add_test(<name> SOURCES <files...> LIBS <targets...> [QT] [TIMEOUT <s>]
#                 [FIXTURE <name>])
# One GoogleTest executable; its cases are listed at test time so that a build
# never has to run a sanitized binary. QT gives it a QApplication on the
# offscreen platform. TIMEOUT bounds each case (120 s unless given). Cross-built,
# each executable is one test run through the emulator (Wine), since starting it
# once per case would cost seconds each. FIXTURE: every case needs that CTest
# fixture (the shared history's server).
function(korvel_add_test name)
    cmake_parse_arguments(ARG "QT" "TIMEOUT;FIXTURE" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
    if(ARG_QT)
        target_link_libraries(${name} PRIVATE korvel_test_qtmain Qt6::Test)
    else()
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES TIMEOUT 180)
        if(ARG_QT)
            # Qt is static there: the offscreen platform is linked in by name.
            qt_import_plugins(${name} INCLUDE Qt6::QOffscreenIntegrationPlugin)
            # Its font database reads one folder: the Debian faces the window's
            # stand-ins name, linked into one, as a Windows path under Wine.
            # Wine keeps QT_* variables from Windows programs (they are meant
            # for the host's Qt) and hands WINEQT_* on to them as QT_*.
            set(fonts ${CMAKE_BINARY_DIR}/test-fonts)
            file(GLOB faces /usr/share/fonts/truetype/liberation2/LiberationSans-*.ttf
                 /usr/share/fonts/truetype/wqy/wqy-microhei.ttc)
            file(MAKE_DIRECTORY ${fonts})
            foreach(face IN LISTS faces)
                get_filename_component(face_name ${face} NAME)
                file(CREATE_LINK ${face} ${fonts}/${face_name} SYMBOLIC)
            endforeach()
            set_tests_properties(${name} PROPERTIES ENVIRONMENT
                                 "WINEQT_QPA_PLATFORM=offscreen;WINEQT_QPA_FONTDIR=Z:${fonts}")
        endif()
        return()
    endif()
    # The programs the tests start record their saves in a history of the
    # build's own, never in the user's.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                   ENVIRONMENT_MODIFICATION "XDG_DATA_HOME=set:${CMAKE_BINARY_DIR}/test-data"
                   TIMEOUT ${ARG_TIMEOUT}
                   FIXTURES_REQUIRED "${ARG_FIXTURE}")
endfunction()
