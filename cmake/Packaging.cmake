# Install layout and the Debian package.
#
# The tool finds "translation", "licence", "help" and "device" next to its
# executable (QCoreApplication::applicationDirPath()), so they are installed
# into one folder together with it:
#   Linux:   <prefix>/lib/lumoran-tool/{lumoran-tool,translation,licence,help,device}
#            <prefix>/bin/lumoran-tool -> ../lib/lumoran-tool/lumoran-tool
#            plus the desktop entry and the icon in share/
#   Windows: <prefix>/{lumoran-tool.exe,translation,licence,help,device}
# applicationDirPath() resolves the symbolic link (through /proc/self/exe), so
# the tool started as <prefix>/bin/lumoran-tool still looks in lib/lumoran-tool.

if(WIN32)
    set(LUMORAN_INSTALL_APPDIR .)
else()
    set(LUMORAN_INSTALL_APPDIR lib/lumoran-tool)
endif()

install(TARGETS lumoran-tool RUNTIME DESTINATION ${LUMORAN_INSTALL_APPDIR})
install(DIRECTORY
        ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/translation
        ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/licence
        ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/help
        ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/device
    DESTINATION ${LUMORAN_INSTALL_APPDIR})

if(NOT WIN32)
    set(launcher ${CMAKE_CURRENT_BINARY_DIR}/launcher/lumoran-tool)
    file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/launcher)
    file(CREATE_LINK ../${LUMORAN_INSTALL_APPDIR}/lumoran-tool ${launcher} SYMBOLIC)
    install(FILES ${launcher} DESTINATION bin)

    install(FILES ${PROJECT_SOURCE_DIR}/resources/lumoran-tool.desktop DESTINATION share/applications)
    foreach(edge IN LISTS LUMORAN_DESKTOP_ICON_SIZES)
        install(FILES ${LUMORAN_DESKTOP_ICON_DIR}/${edge}x${edge}/apps/lumoran-tool.png
            DESTINATION share/icons/hicolor/${edge}x${edge}/apps)
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/resources/pic/src/tarn_icon.svg
        DESTINATION share/icons/hicolor/scalable/apps RENAME lumoran-tool.svg)
    install(FILES ${PROJECT_SOURCE_DIR}/licence/licence_en_GB.txt
        DESTINATION share/doc/lumoran-tool RENAME copyright)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumoran-tool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Vandrel)
set(CPACK_PACKAGE_CONTACT "Vandrel <support@vandrel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware updates over the air for Lumoran ZigBee Light Link devices")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Vandrel Lumoran Tool")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vandrel <support@vandrel.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The synopsis line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"The Vandrel Lumoran Tool updates the firmware of Lumoran control elements,
wall-mounted transmitters and intermediate plugs over the air through a
Lumoran USB stick. It fetches signed firmware from the update server,
updates the stick itself and guides the user through every step.")
# The libraries come from dpkg-shlibdeps; the QML modules the window loads at
# run time are no linked libraries and are listed by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml-module-qtquick2, qml-module-qtquick-controls, qml-module-qtquick-dialogs, qml-module-qtquick-layouts, qml-module-qtquick-window2, qml-module-qt-labs-settings, qml-module-qtqml-models2")

include(CPack)
