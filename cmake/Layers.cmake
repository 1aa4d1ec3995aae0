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
