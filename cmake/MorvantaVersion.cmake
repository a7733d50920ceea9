# Every program carries a version block made at compile time from the project version, so
# that the window's caption, the about box and language files can read it from the file.
set(MORVANTA_BLOCK_DESCRIPTIONS
    "morvanta=Morvanta slideshow maker"
    "morvanta-render=Morvanta slideshow renderer"
    "morvanta-lang=Morvanta language file converter")
foreach(entry ${MORVANTA_BLOCK_DESCRIPTIONS})
    string(REPLACE "=" ";" pair "${entry}")
    list(GET pair 0 MORVANTA_BLOCK_TARGET)
    list(GET pair 1 MORVANTA_BLOCK_DESCRIPTION)
    if(TARGET ${MORVANTA_BLOCK_TARGET})
        set(block_source ${CMAKE_BINARY_DIR}/generated/VersionBlock_${MORVANTA_BLOCK_TARGET}.cpp)
        configure_file(${CMAKE_CURRENT_LIST_DIR}/VersionBlock.cpp.in ${block_source} @ONLY)
        target_sources(${MORVANTA_BLOCK_TARGET} PRIVATE ${block_source})
    endif()
endforeach()
