# The user manual that "Help" opens, with its pictures: copied beside the programs in the build
# tree (where the window looks first) and installed into the shared data folder.
set(MORVANTA_DOCS ${PROJECT_SOURCE_DIR}/docs)
if(EXISTS ${MORVANTA_DOCS}/manual.html)
    file(GLOB MORVANTA_MANUAL_IMAGES CONFIGURE_DEPENDS ${MORVANTA_DOCS}/images/*.png)
    # Copied by rules with outputs, so a build with nothing changed copies nothing.
    set(manual_copies ${CMAKE_BINARY_DIR}/manual.html)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/manual.html
        COMMAND ${CMAKE_COMMAND} -E copy ${MORVANTA_DOCS}/manual.html ${CMAKE_BINARY_DIR}/manual.html
        DEPENDS ${MORVANTA_DOCS}/manual.html
        COMMENT "Copying the user manual into the build tree" VERBATIM)
    foreach(image ${MORVANTA_MANUAL_IMAGES})
        get_filename_component(name ${image} NAME)
        add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/images/${name}
            COMMAND ${CMAKE_COMMAND} -E copy ${image} ${CMAKE_BINARY_DIR}/images/${name}
            DEPENDS ${image} VERBATIM)
        list(APPEND manual_copies ${CMAKE_BINARY_DIR}/images/${name})
    endforeach()
    add_custom_target(morvanta_manual ALL DEPENDS ${manual_copies})
    install(FILES ${MORVANTA_DOCS}/manual.html DESTINATION ${CMAKE_INSTALL_DATADIR}/morvanta)
    install(FILES ${MORVANTA_MANUAL_IMAGES} DESTINATION ${CMAKE_INSTALL_DATADIR}/morvanta/images)
endif()
