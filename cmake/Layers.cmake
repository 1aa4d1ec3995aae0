# Which target may use which: quillet_forbid_includes(views desktop/link)
# fails the build when a source of `target` includes a header of the
# forbidden folder. The check runs whenever one of those sources changes.
function(quillet_forbid_includes target forbidden)
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    set(files)
    foreach(source IN LISTS sources)
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir})
        list(APPEND files ${source})
    endforeach()
    string(MAKE_C_IDENTIFIER "${target}_without_${forbidden}" name)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}.stamp)
    list(JOIN files "|" file_list)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DFORBIDDEN=${forbidden} "-DFILES=${file_list}"
                -DSTAMP=${stamp} -P ${CMAKE_SOURCE_DIR}/cmake/CheckIncludes.cmake
        DEPENDS ${files} ${CMAKE_SOURCE_DIR}/cmake/CheckIncludes.cmake
        COMMENT "Checking that ${target} does not include ${forbidden}"
        VERBATIM)
    add_custom_target(${name} DEPENDS ${stamp})
    add_dependencies(${target} ${name})
endfunction()

# The layer table of doc/architecture.md, row by row: each target and what
# it may not include (a folder, or "Qt" for Qt's headers). Called once every
# target exists.
function(quillet_enforce_layers)
    set(layers
        "protocol:desktop platform phonelet Qt"
        "platform_ce:desktop phonelet Qt"
        "platform_phone:desktop phonelet Qt"
        "platform_rapi:desktop phonelet Qt"
        "platform_registry:desktop phonelet Qt"
        "phonelet_agent:desktop platform/rapi platform/registry Qt"
        "store:desktop/formats desktop/library desktop/search desktop/link desktop/print desktop/views desktop/composer desktop/app desktop/cli phonelet platform/ce platform/rapi Qt"
        "formats:desktop/library desktop/search desktop/link desktop/print desktop/views desktop/composer desktop/app desktop/cli phonelet platform Qt"
        "library:desktop/search desktop/link desktop/print desktop/views desktop/composer desktop/app desktop/cli phonelet platform Qt"
        "search:desktop/formats desktop/library desktop/link desktop/print desktop/views desktop/composer desktop/app desktop/cli phonelet platform Qt"
        "link:desktop/formats desktop/library desktop/search desktop/print desktop/views desktop/composer desktop/app desktop/cli phonelet platform/ce Qt"
        "print:desktop/library desktop/link desktop/views desktop/composer desktop/app desktop/cli phonelet platform"
        "views:desktop/link desktop/print desktop/composer desktop/app desktop/cli phonelet platform"
        "composer:desktop/link desktop/print desktop/app desktop/cli phonelet platform"
        "app:desktop/cli phonelet platform"
        "quillet-cli:desktop/views desktop/composer desktop/app phonelet platform")
    foreach(row IN LISTS layers)
        string(REPLACE ":" ";" parts "${row}")
        list(GET parts 0 target)
        list(SUBLIST parts 1 -1 forbidden)
        string(REPLACE " " ";" forbidden "${forbidden}")
        if(NOT TARGET ${target})
            continue()
        endif()
        foreach(folder IN LISTS forbidden)
            quillet_forbid_includes(${target} ${folder})
        endforeach()
    endforeach()
endfunction()
