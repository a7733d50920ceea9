# `make deb`: a Debian package of what `cmake --install` puts in place. Its run-time
# dependencies are read from the binaries by dpkg-shlibdeps; only what no binary links to (the
# fallback font of the captions) is named here.
set(MORVANTA_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(MORVANTA_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/morvanta)

install(FILES ${MORVANTA_PACKAGING}/copyright DESTINATION ${MORVANTA_DOC_DIR})
find_program(MORVANTA_GZIP gzip)
set(MORVANTA_CHANGELOG ${CMAKE_BINARY_DIR}/doc/changelog)
if(MORVANTA_GZIP)
    add_custom_command(OUTPUT ${MORVANTA_CHANGELOG}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${MORVANTA_PACKAGING}/changelog ${MORVANTA_CHANGELOG}
        COMMAND ${MORVANTA_GZIP} -9nf ${MORVANTA_CHANGELOG}
        DEPENDS ${MORVANTA_PACKAGING}/changelog VERBATIM)
    add_custom_target(morvanta_changelog ALL DEPENDS ${MORVANTA_CHANGELOG}.gz)
    install(FILES ${MORVANTA_CHANGELOG}.gz DESTINATION ${MORVANTA_DOC_DIR})
else()
    install(FILES ${MORVANTA_PACKAGING}/changelog DESTINATION ${MORVANTA_DOC_DIR})
endif()

# Installing and packaging take what is built; they do not build the tests first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvanta)
# The version the programs print, all four parts of it.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Tavrell)
set(CPACK_PACKAGE_CONTACT "Tavrell <morvanta@tavrell.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "slideshow video maker for photos, captions and a soundtrack")
set(CPACK_PACKAGE_DESCRIPTION
    "Morvanta turns an ordered list of JPEG or BMP photos, with optional
captions and an optional MP3 soundtrack, into a video: cross-fades, slow
pans, captions with a picture counter, greyscale or sepia, and a choice
of video codecs.
.
The package holds the desktop program (morvanta), the command-line
renderer (morvanta-render), the language file converter (morvanta-lang),
the French, German and Spanish translations and the user manual.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY morvanta)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-dejavu-core)
set(CPACK_MORVANTA_CHANGELOG ${MORVANTA_PACKAGING}/changelog)
set(CPACK_PROJECT_CONFIG_FILE ${MORVANTA_PACKAGING}/CPackChecks.cmake)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
