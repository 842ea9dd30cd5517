# The Debian package: scripts/package.sh builds it with CPack. The helper trusts only the program at
# its installed path, so the package is configured with the /usr prefix it installs to.
include(GNUInstallDirs)

# The manual page, the copyright notice and the changelog, compressed as Debian keeps them.
set(QV_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quorvane-pro)
set(QV_GZIPPED)
foreach(source resources/quorvane-pro.1 resources/debian/changelog)
    get_filename_component(name ${source} NAME)
    set(output ${PROJECT_BINARY_DIR}/resources/${name}.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/resources
        COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/${source} > ${output}
        DEPENDS ${PROJECT_SOURCE_DIR}/${source})
    list(APPEND QV_GZIPPED ${output})
endforeach()
add_custom_target(qv_package_docs ALL DEPENDS ${QV_GZIPPED})
install(FILES ${PROJECT_BINARY_DIR}/resources/quorvane-pro.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/resources/changelog.gz ${PROJECT_SOURCE_DIR}/resources/debian/copyright
    DESTINATION ${QV_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane-pro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "System-tray companion for developers running local AI models")
set(CPACK_PACKAGE_DESCRIPTION "Quorvane Pro watches memory, processor load, temperatures, power, network
and processes while local AI models and builds run on one machine, and shows
them in a tray popover and a dashboard window. It lists the models a local
Ollama server holds in memory, keeps an inventory of model files on disk,
cleans developer caches and recommends local models and inference frameworks
that fit the machine.

With autonomous mode on, personas pause chosen background processes while a
compiler runs, while a model is loaded or on battery power, and resume them
afterwards. Signals go through a root helper that systemd starts on demand
from its socket, that acts only for the installed program and writes an audit
line for every request.")
set(CPACK_PACKAGE_CONTACT "Quorvane <support@quorvane.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Every library the executables link comes from shlibdeps, libsystemd0 included where the helper links it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-material-design-icons-iconfont, fonts-noto-color-emoji, polkitd, pkexec, systemd")
# Wayland sessions need Qt's Wayland platform, which brings Qt Quick and a compositor's libraries that an
# X11 system does without; themed SVG icons need Qt's SVG icon engine.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/resources/debian/postinst;\
${PROJECT_SOURCE_DIR}/resources/debian/prerm;${PROJECT_SOURCE_DIR}/resources/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
