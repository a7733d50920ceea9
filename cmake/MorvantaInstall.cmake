# The desktop integration: the desktop entry, the icon in every size and the AppStream
# metainfo, in the XDG locations under the install prefix.
set(MORVANTA_APP_ID com.tavrell.Morvanta)
install(FILES ${PROJECT_SOURCE_DIR}/data/${MORVANTA_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${PROJECT_SOURCE_DIR}/data/${MORVANTA_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/generated/${MORVANTA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/generated/${MORVANTA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/${MORVANTA_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/data/icons/hicolor/${size}x${size}/apps/${MORVANTA_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
