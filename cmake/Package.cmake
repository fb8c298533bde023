# The Debian package: `cpack -G DEB` in a build folder makes iap_<version>_<arch>.deb, its
# dependencies computed from the programs. Manual pages come from the command-line programs'
# --help (help2man, with packaging/<program>.h2m for what a help does not hold: exit status,
# environment, files, examples) and, for the window, from packaging/iap.1.in.
if(NOT UNIX OR APPLE)
  return()
endif()

set(IAP_PACKAGE_FILES ${CMAKE_BINARY_DIR}/package-files)
set(IAP_MANUAL_PAGES ${IAP_PACKAGE_FILES}/iap.1.gz)
# The window's manual page and the completion name the models and triggers iap-cli's help lists.
foreach(made iap.1 iap-cli.bash-completion)
  add_custom_command(OUTPUT ${IAP_PACKAGE_FILES}/${made}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${IAP_PACKAGE_FILES}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:iap-cli> -DTEMPLATE=${CMAKE_CURRENT_LIST_DIR}/../packaging/${made}.in
            -DOUTPUT=${IAP_PACKAGE_FILES}/${made} -P ${CMAKE_CURRENT_LIST_DIR}/HelpChoices.cmake
    DEPENDS iap-cli ${CMAKE_CURRENT_LIST_DIR}/HelpChoices.cmake ${CMAKE_CURRENT_LIST_DIR}/../packaging/${made}.in)
endforeach()
add_custom_command(OUTPUT ${IAP_PACKAGE_FILES}/iap.1.gz
  COMMAND gzip -9n -c ${IAP_PACKAGE_FILES}/iap.1 > ${IAP_PACKAGE_FILES}/iap.1.gz
  DEPENDS ${IAP_PACKAGE_FILES}/iap.1)
find_program(HELP2MAN help2man)
if(HELP2MAN)
  foreach(program iap-cli iap-sim)
    set(summary "loads firmware into HX300 and VR200 devices and reads their flash, without a window")
    if(program STREQUAL "iap-sim")
      set(summary "a virtual HX300 or VR200 bootloader on a pseudo-terminal")
    endif()
    set(extra ${CMAKE_CURRENT_LIST_DIR}/../packaging/${program}.h2m)
    set(include "--include=${extra}")
    set(sections "")
    if(program STREQUAL "iap-cli")
      set(sections ${IAP_PACKAGE_FILES}/iap-cli.sections)
      list(APPEND include "--include=${sections}")
      add_custom_command(OUTPUT ${sections}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${IAP_PACKAGE_FILES}
        COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:iap-cli> -DOUTPUT=${sections} -P ${CMAKE_CURRENT_LIST_DIR}/ManualSections.cmake
        DEPENDS iap-cli ${CMAKE_CURRENT_LIST_DIR}/ManualSections.cmake)
    endif()
    add_custom_command(OUTPUT ${IAP_PACKAGE_FILES}/${program}.1.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${IAP_PACKAGE_FILES}
      COMMAND ${HELP2MAN} --no-info --no-discard-stderr --version-string=${PROJECT_VERSION} "--name=${summary}" ${include}
              --output=${IAP_PACKAGE_FILES}/${program}.1 $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${IAP_PACKAGE_FILES}/${program}.1
      DEPENDS ${program} ${sections} ${extra})
    list(APPEND IAP_MANUAL_PAGES ${IAP_PACKAGE_FILES}/${program}.1.gz)
  endforeach()
else()
  message(STATUS "help2man is not installed: the package has no manual pages for iap-cli and iap-sim")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/../packaging/changelog.in ${IAP_PACKAGE_FILES}/changelog @ONLY)
add_custom_command(OUTPUT ${IAP_PACKAGE_FILES}/changelog.gz
  COMMAND gzip -9nf -k ${IAP_PACKAGE_FILES}/changelog
  DEPENDS ${IAP_PACKAGE_FILES}/changelog)
add_custom_target(package_files ALL DEPENDS ${IAP_MANUAL_PAGES} ${IAP_PACKAGE_FILES}/iap-cli.bash-completion ${IAP_PACKAGE_FILES}/changelog.gz)

install(FILES ${IAP_MANUAL_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${IAP_PACKAGE_FILES}/iap-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME iap-cli)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../packaging/copyright ${IAP_PACKAGE_FILES}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME iap)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its SQL drivers as plugins, which no library dependency reveals: the journal's
# default file needs the SQLite one; a journal on PostgreSQL, the other.
# The window's "IAP　Successfully" holds an ideographic space (U+3000), which only a CJK font
# has: without one it shows as a box.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, fonts-wqy-microhei | fonts-wqy-zenhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "IAP maintainers <iap-maintainers@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware loader for HX300 and VR200 devices over a serial port")
set(CPACK_PACKAGE_DESCRIPTION "IAP loads application images into devices through their
in-application-programming bootloader, writes flash images and reads the flash
back, over a serial port. It comes as a window (iap), a command line for
scripts and many ports at once (iap-cli), and a virtual device to practise
on (iap-sim).")
include(CPack)
