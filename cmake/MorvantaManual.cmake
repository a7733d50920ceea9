# The user manual that "Help" opens, with its pictures: copied beside the programs in the build
# tree (where the window looks first) and installed into the shared data folder.
set(MORVANTA_DOCS ${PROJECT_SOURCE_DIR}/docs)
if(EXISTS ${MORVANTA_DOCS}/manual.html)
    file(GLOB MORVANTA_MANUAL_IMAGES CONFIGURE_DEPENDS ${MORVANTA_DOCS}/images/*.png)
    set(manual_copies COMMAND ${CMAKE_COMMAND} -E copy_if_different
        ${MORVANTA_DOCS}/manual.html ${CMAKE_BINARY_DIR}/manual.html)
    if(MORVANTA_MANUAL_IMAGES)
        list(APPEND manual_copies
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/images
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${MORVANTA_MANUAL_IMAGES}
                ${CMAKE_BINARY_DIR}/images)
    endif()
    add_custom_target(morvanta_manual ALL ${manual_copies}
        COMMENT "Copying the user manual into the build tree")
    install(FILES ${MORVANTA_DOCS}/manual.html DESTINATION ${CMAKE_INSTALL_DATADIR}/morvanta)
    install(FILES ${MORVANTA_MANUAL_IMAGES} DESTINATION ${CMAKE_INSTALL_DATADIR}/morvanta/images)
endif()
