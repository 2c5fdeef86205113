# Install layout and the Debian package.
#
# The tool finds "translation", "licence", "help" and "device" next to its
# executable (QCoreApplication::applicationDirPath()), so they are installed
# into one folder together with it:
#   Linux:   <prefix>/lib/lumoran-tool/{lumoran-tool,translation,licence,help,device}
#            <prefix>/bin/lumoran-tool -> ../lib/lumoran-tool/lumoran-tool
#            plus the desktop entry, the icon, the AppStream metadata, the
#            manual page and the Debian changelog and copyright in share/
#   Windows: <prefix>/{lumoran-tool.exe,translation,licence,help,device}
# applicationDirPath() resolves the symbolic link (through /proc/self/exe), so
# the tool started as <prefix>/bin/lumoran-tool still looks in lib/lumoran-tool.

# The files Debian expects of a package, from packaging/:
#   changelog      the package's changelog, installed gzipped as changelog.gz
#                  (a native package: Vandrel packages its own source)
#   copyright.in   the machine-readable copyright file; the licence paragraph
#                  is filled in from licence/licence_en_GB.txt
#   lumoran-tool.1.in  the manual page; version and release date filled in
#   *.metainfo.xml the AppStream metadata that software centres list
# A new version needs an entry at the top of both the changelog and the
# metainfo's <releases>; configuring stops until they agree with the project.
function(lumoran_debian_files)
    set(source_dir ${PROJECT_SOURCE_DIR}/packaging)
    set(metainfo ${source_dir}/example.vandrel.lumoran_tool.metainfo.xml)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
        ${source_dir}/changelog ${metainfo} ${PROJECT_SOURCE_DIR}/licence/licence_en_GB.txt)

    file(READ ${source_dir}/changelog changelog_text)
    string(REGEX MATCH "^[^\n]*" changelog_head "${changelog_text}")
    if(NOT changelog_head MATCHES "^lumoran-tool \\(${PROJECT_VERSION}\\) ")
        message(FATAL_ERROR "packaging/changelog starts with \"${changelog_head}\"; "
            "add an entry for ${PROJECT_VERSION} at its top")
    endif()
    file(READ ${metainfo} metainfo_text)
    if(NOT metainfo_text MATCHES "<release version=\"([^\"]*)\" date=\"([0-9-]+)\"")
        message(FATAL_ERROR "${metainfo} has no <release version=... date=...>")
    endif()
    if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
        message(FATAL_ERROR "The first release in ${metainfo} is ${CMAKE_MATCH_1}; "
            "add a <release> for ${PROJECT_VERSION} at the top of <releases>")
    endif()
    set(LUMORAN_RELEASE_DATE ${CMAKE_MATCH_2})

    set(package_dir ${CMAKE_CURRENT_BINARY_DIR}/packaging)
    set(package_dir ${package_dir} PARENT_SCOPE)
    configure_file(${source_dir}/lumoran-tool.1.in ${package_dir}/lumoran-tool.1 @ONLY)

    # Each line of the licence indented by one space, empty lines as " .".
    file(READ ${PROJECT_SOURCE_DIR}/licence/licence_en_GB.txt licence)
    file(READ ${PROJECT_SOURCE_DIR}/licence/licence_en_GB.txt bom LIMIT 3 HEX)
    if(bom STREQUAL "efbbbf")
        string(SUBSTRING "${licence}" 3 -1 licence)
    endif()
    string(REGEX REPLACE "\n+$" "" licence "${licence}")
    string(REPLACE "\n\n" "\n.\n" licence "${licence}")
    string(REPLACE "\n\n" "\n.\n" licence "${licence}")
    string(REPLACE "\n" "\n " LUMORAN_LICENCE_TEXT " ${licence}")
    configure_file(${source_dir}/copyright.in ${package_dir}/copyright @ONLY)

    configure_file(${source_dir}/changelog ${package_dir}/changelog COPYONLY)

    # gzip -9n: the highest compression, as Debian asks, and no time stamp.
    find_program(GZIP_PROGRAM gzip REQUIRED)
    set(zipped)
    foreach(file changelog lumoran-tool.1)
        add_custom_command(OUTPUT ${package_dir}/${file}.gz
            COMMAND ${GZIP_PROGRAM} -9nkf ${package_dir}/${file}
            DEPENDS ${package_dir}/${file}
            COMMENT "Compressing ${file}"
            VERBATIM)
        list(APPEND zipped ${package_dir}/${file}.gz)
    endforeach()
    add_custom_target(lumoran_debian_files ALL DEPENDS ${zipped})
endfunction()

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
    lumoran_debian_files()

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
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/example.vandrel.lumoran_tool.metainfo.xml
        DESTINATION share/metainfo)
    install(FILES ${package_dir}/copyright ${package_dir}/changelog.gz
        DESTINATION share/doc/lumoran-tool)
    install(FILES ${package_dir}/lumoran-tool.1.gz DESTINATION share/man/man1)
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
