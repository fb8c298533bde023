# The desktop entry and icon that put the tool into the desktop's menu after `cmake --install`.
# The programs themselves are installed by their own targets (src/, sim/).
if(UNIX AND NOT APPLE)
  set(IAP_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR}/../packaging)
  set(IAP_DESKTOP_ENTRY ${CMAKE_BINARY_DIR}/packaging/iap.desktop)

  # The entry starts the program by its full path, which is known only when installing
  # (`cmake --install <build> --prefix <dir>`), so that it works whether or not <dir>/bin is on PATH.
  install(CODE "
    set(IAP_EXECUTABLE \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/iap\")
    configure_file(\"${IAP_PACKAGING_DIR}/iap.desktop.in\" \"${IAP_DESKTOP_ENTRY}\" @ONLY)
  ")
  install(FILES ${IAP_DESKTOP_ENTRY} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${IAP_PACKAGING_DIR}/iap.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  configure_file(${IAP_PACKAGING_DIR}/org.example.iap.metainfo.xml.in ${CMAKE_BINARY_DIR}/packaging/org.example.iap.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/org.example.iap.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # The rule that gives the user at the seat the ports of USB serial adapters. Debian 12 keeps
  # the rules of packages in /lib/udev/rules.d, beside /usr; under another prefix it goes to
  # <prefix>/lib/udev/rules.d (udev reads /usr/local/lib/udev/rules.d too).
  install(CODE "
    set(rules \"\${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d\")
    if(CMAKE_INSTALL_PREFIX MATCHES \"/usr/?$\")
      get_filename_component(rules \"\${CMAKE_INSTALL_PREFIX}/../lib/udev/rules.d\" ABSOLUTE)
    endif()
    file(INSTALL \"${IAP_PACKAGING_DIR}/60-iap.rules\" DESTINATION \"\${rules}\")
  ")
  # A line's Grafana imports the yield dashboard from here.
  install(FILES ${IAP_PACKAGING_DIR}/grafana/iap-yield.json DESTINATION ${CMAKE_INSTALL_DATADIR}/iap/grafana)

  # Installs the build into a fresh folder and checks what a desktop finds there.
  add_test(NAME install_layout
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DPREFIX=${CMAKE_BINARY_DIR}/install-check
            -P ${CMAKE_CURRENT_LIST_DIR}/CheckInstall.cmake)
endif()
