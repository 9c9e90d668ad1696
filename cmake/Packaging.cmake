# Install layout and the Debian package (CPack). The program finds its private
# reporting library through an RPATH on the installed binary only; the build
# tree keeps its own RPATH. Installed ELF files are stripped and their debug
# information kept under <build>/debug/.build-id (packaging/StripKeepDebug.cmake).
if(NOT TARGET qm_downloader)
  return()
endif()
include(GNUInstallDirs)
set(QM_PRIVATE_LIBDIR "lib/qm-downloader")
set_target_properties(qm_downloader PROPERTIES INSTALL_RPATH "/usr/${QM_PRIVATE_LIBDIR}")
install(TARGETS qm_downloader RUNTIME DESTINATION bin)
install(TARGETS qmreport LIBRARY DESTINATION ${QM_PRIVATE_LIBDIR} NAMELINK_SKIP)
set(pkg ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${pkg}/qm-downloader.desktop DESTINATION share/applications)
install(FILES ${pkg}/qm-downloader.metainfo.xml DESTINATION share/metainfo)
foreach(size 48 128 256)
  install(FILES ${pkg}/icons/qm-downloader-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME qm-downloader.png)
endforeach()
# Debian policy wants a copyright file and a gzipped changelog in the doc folder.
execute_process(COMMAND gzip -9nc ${pkg}/changelog OUTPUT_FILE ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${pkg}/copyright ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION share/doc/qm-downloader)
install(CODE "set(QM_STRIP_FILES bin/qm_downloader ${QM_PRIVATE_LIBDIR}/libqmreport.so)
  set(QM_DEBUG_DIR \"${CMAKE_BINARY_DIR}/debug\")")
install(SCRIPT ${pkg}/StripKeepDebug.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qm-downloader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Vantor packaging <packaging@vantor.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "web installer for Vantor Mark Eraser")
# CPack puts the summary on the Description line; this is the extended text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Asks the configuration service where the current package is, downloads it
 in parallel ranges, verifies it, installs it and starts the product.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${CMAKE_BINARY_DIR}/report")
# The window needs a platform plugin for X11 or Wayland beside libqt6gui.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, libxcb-cursor0, fonts-noto-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
