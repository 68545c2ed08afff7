# The recorder's Debian package: the wizard with its menu entry, its start with the session
# until the installation is completed, icon, AppStream metadata, manual page and Debian
# documents. `cpack` in the build folder writes velnor-config-tool_VERSION_ARCH.deb;
# `cmake --install` installs the same files.

set(VELNOR_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(VELNOR_APP_ID com.velnor.ConfigurationTool)
set(VELNOR_DOC_DIR share/doc/velnor-config-tool)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velnor-config-tool)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_VENDOR Velnor)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set-up wizard of a Velnor network video recorder")
# Read here rather than named as CPACK_PACKAGE_DESCRIPTION_FILE, which cpack turns ' into &apos;.
file(READ ${VELNOR_PACKAGING_DIR}/description.txt CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velnor Recorder Team <recorders@velnor.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://velnor.example/)
# Libraries from dpkg-shlibdeps; dbus-send is how the password fields call the keyboard.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS dbus-bin)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "isc-dhcp-server, onboard")
# The autostart entry lives in /etc: an administrator's change to it survives upgrades. A purge
# also removes the stamp of the completed installation (postrm).
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${VELNOR_PACKAGING_DIR}/conffiles ${VELNOR_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Debian wants manual pages and changelogs compressed, without a time stamp in the gzip header.
set(VELNOR_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/packaging/velnor-config-tool.1.gz)
set(VELNOR_CHANGELOG ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog)
configure_file(${VELNOR_PACKAGING_DIR}/changelog.in ${VELNOR_CHANGELOG} @ONLY)
add_custom_command(
  OUTPUT ${VELNOR_MAN_PAGE} ${VELNOR_CHANGELOG}.gz
  COMMAND gzip -9nc ${VELNOR_PACKAGING_DIR}/velnor-config-tool.1 > ${VELNOR_MAN_PAGE}
  COMMAND gzip -9nc ${VELNOR_CHANGELOG} > ${VELNOR_CHANGELOG}.gz
  DEPENDS ${VELNOR_PACKAGING_DIR}/velnor-config-tool.1 ${VELNOR_CHANGELOG}
  COMMENT "Compressing the manual page and the changelog")
add_custom_target(velnor_package_documents ALL DEPENDS ${VELNOR_MAN_PAGE} ${VELNOR_CHANGELOG}.gz)

install(FILES ${VELNOR_PACKAGING_DIR}/${VELNOR_APP_ID}.desktop DESTINATION share/applications)
# What the autostart entry runs: the wizard, until the installation has been completed.
install(PROGRAMS ${VELNOR_PACKAGING_DIR}/autostart DESTINATION libexec/velnor-config-tool)
# Absolute: the session reads autostart entries from /etc/xdg whatever the prefix.
install(FILES ${VELNOR_PACKAGING_DIR}/autostart.desktop
        DESTINATION /etc/xdg/autostart RENAME ${VELNOR_APP_ID}.desktop)
install(FILES ${PROJECT_SOURCE_DIR}/resources/assets/poe-nvr-wizard-icon-16x16.png
        DESTINATION share/icons/hicolor/16x16/apps RENAME velnor-config-tool.png)
install(FILES ${VELNOR_PACKAGING_DIR}/${VELNOR_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${VELNOR_MAN_PAGE} DESTINATION share/man/man1)
install(FILES ${VELNOR_PACKAGING_DIR}/copyright DESTINATION ${VELNOR_DOC_DIR})
install(FILES ${VELNOR_CHANGELOG}.gz DESTINATION ${VELNOR_DOC_DIR} RENAME changelog.gz)

include(CPack)
