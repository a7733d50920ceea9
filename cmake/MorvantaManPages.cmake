# Manual pages made from each program's --help and --version at build time (so that they never
# disagree with the program), gzipped as Debian installs them.
find_program(MORVANTA_GZIP gzip)
mark_as_advanced(MORVANTA_GZIP)
set(MORVANTA_MAN_PROGRAMS
    "morvanta=make a slideshow video from photos, captions and a soundtrack"
    "morvanta-render=render photos, captions and a soundtrack to a video on the terminal"
    "morvanta-lang=turn Morvanta language files into text and back")
set(MORVANTA_MAN_NAMES)
foreach(entry ${MORVANTA_MAN_PROGRAMS})
    string(REGEX REPLACE "=.*" "" name "${entry}")
    if(TARGET ${name})
        list(APPEND MORVANTA_MAN_NAMES ${name})
    endif()
endforeach()

set(MORVANTA_MAN_PAGES)
foreach(entry ${MORVANTA_MAN_PROGRAMS})
    string(REGEX REPLACE "=.*" "" name "${entry}")
    string(REGEX REPLACE "^[^=]*=" "" summary "${entry}")
    if(NOT TARGET ${name})
        continue()
    endif()
    set(see_also ${MORVANTA_MAN_NAMES})
    list(REMOVE_ITEM see_also ${name})
    list(JOIN see_also "," see_also)
    set(page ${CMAKE_BINARY_DIR}/man/${name}.1)
    set(commands COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${name}> -DNAME=${name}
        "-DSUMMARY=${summary}" "-DSEE_ALSO=${see_also}"
        -DMANUAL=${CMAKE_INSTALL_DATADIR}/morvanta/manual.html -DOUTPUT=${page}
        -P ${PROJECT_SOURCE_DIR}/cmake/scripts/HelpToMan.cmake)
    set(outputs ${page})
    if(MORVANTA_GZIP)
        # -n: no name or time stamp in the header, so the same page gives the same bytes.
        list(APPEND commands COMMAND ${MORVANTA_GZIP} -9nkf ${page})
        list(APPEND outputs ${page}.gz)
        install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    else()
        install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
    add_custom_command(OUTPUT ${outputs} ${commands}
        DEPENDS ${name} ${PROJECT_SOURCE_DIR}/cmake/scripts/HelpToMan.cmake
        COMMENT "Making the manual page of ${name}" VERBATIM)
    list(APPEND MORVANTA_MAN_PAGES ${outputs})
endforeach()
if(MORVANTA_MAN_PAGES)
    add_custom_target(morvanta_man_pages ALL DEPENDS ${MORVANTA_MAN_PAGES})
endif()

# The pages' test reads them from the build tree; the tests are defined after this fragment.
function(morvanta_man_pages_for_tests)
    if(TARGET morvanta_man_pages AND TARGET test_man_pages)
        add_dependencies(test_man_pages morvanta_man_pages)
    endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL morvanta_man_pages_for_tests)
