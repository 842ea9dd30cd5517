# The Debian package: scripts/package.sh builds it with CPack. The helper trusts only the program at
# its installed path, so the package is configured with the /usr prefix it installs to.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane-pro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "System-tray companion for developers running local AI models")
set(CPACK_PACKAGE_CONTACT "Quorvane <support@quorvane.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-wayland, fonts-material-design-icons-iconfont, fonts-noto-color-emoji, policykit-1, systemd")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${PROJECT_SOURCE_DIR}/resources/debian/postinst;${PROJECT_SOURCE_DIR}/resources/debian/prerm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
