# korvel_find_header_only(<package> <version> <header folder>)
# nlohmann-json and CLI11 are header-only Debian packages, found in every build
# through their own CMake package files. A cross-build searches only the mingw
# root, where Debian has neither; there the package files are taken from the
# host's /usr and their target is pointed at a link to the package's one
# header folder, since the host's /usr/include also holds glibc's headers,
# which must never shadow mingw's.
function(korvel_find_header_only package version folder)
    if(NOT CMAKE_CROSSCOMPILING)
        find_package(${package} ${version} CONFIG REQUIRED)
        return()
    endif()
    find_package(${package} ${version} CONFIG REQUIRED PATHS /usr NO_DEFAULT_PATH
                 NO_CMAKE_FIND_ROOT_PATH)
    get_target_property(target_includes ${package}::${package} INTERFACE_INCLUDE_DIRECTORIES)
    list(GET target_includes 0 host_include)
    set(staged ${CMAKE_BINARY_DIR}/header-only/${package})
    file(MAKE_DIRECTORY ${staged})
    file(CREATE_LINK ${host_include}/${folder} ${staged}/${folder} SYMBOLIC)
    set_target_properties(${package}::${package} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged})
endfunction()
