# Run by cpack before it packages: the changelog's newest entry must be the version packaged,
# as Debian's tools read the version from both.
if(CPACK_GENERATOR STREQUAL "DEB")
    file(STRINGS "${CPACK_MORVANTA_CHANGELOG}" newest LIMIT_COUNT 1)
    string(REPLACE "." "\\." version "${CPACK_PACKAGE_VERSION}")
    if(NOT newest MATCHES "^morvanta \\(${version}\\) ")
        message(FATAL_ERROR "packaging/changelog begins with \"${newest}\", not with an entry for "
                            "version ${CPACK_PACKAGE_VERSION}: add one")
    endif()
endif()
