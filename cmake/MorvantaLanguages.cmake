# Shipped translations live in data/lang/ as text (MRV_<key>.txt, the form morvanta-lang
# writes); the build turns each into its .SPK beside the programs, and install puts them in
# share/morvanta/, where the program looks after its own folder.
if(TARGET morvanta-lang)
    file(GLOB MORVANTA_LANG_TEXTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/lang/MRV_*.txt)
    set(MORVANTA_LANG_FILES)
    foreach(text ${MORVANTA_LANG_TEXTS})
        get_filename_component(name ${text} NAME_WE)
        set(spk ${CMAKE_BINARY_DIR}/${name}.SPK)
        add_custom_command(OUTPUT ${spk}
            COMMAND morvanta-lang to-spk ${text} ${spk}
            DEPENDS ${text} morvanta-lang
            COMMENT "Building language file ${name}.SPK" VERBATIM)
        list(APPEND MORVANTA_LANG_FILES ${spk})
    endforeach()
    add_custom_target(morvanta_languages ALL DEPENDS ${MORVANTA_LANG_FILES})
    install(FILES ${MORVANTA_LANG_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/morvanta)
endif()

# The install test installs the language files, so it needs them built; the tests are defined
# after this fragment runs, hence the deferred call.
function(morvanta_languages_for_tests)
    if(TARGET morvanta_languages AND TARGET test_install)
        add_dependencies(test_install morvanta_languages)
    endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL morvanta_languages_for_tests)
