# cmake -DBUILD_DIR=<build> -DPREFIX=<empty folder to install into> -P CheckInstall.cmake
# Installs the build into PREFIX and checks the programs, the desktop entry and its icon.
foreach(var BUILD_DIR PREFIX)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${output}")
endif()

set(entry "${PREFIX}/share/applications/iap.desktop")
set(icon "${PREFIX}/share/icons/hicolor/scalable/apps/iap.svg")
foreach(file "${PREFIX}/bin/iap" "${PREFIX}/bin/iap-cli" "${PREFIX}/bin/iap-sim" "${entry}" "${icon}" "${PREFIX}/share/iap/grafana/iap-yield.json"
             "${PREFIX}/share/metainfo/org.example.iap.metainfo.xml" "${PREFIX}/lib/udev/rules.d/60-iap.rules")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
foreach(program iap iap-cli iap-sim)
  file(READ "${PREFIX}/bin/${program}" head LIMIT 4 HEX)
  if(NOT head STREQUAL "7f454c46")
    message(FATAL_ERROR "${PREFIX}/bin/${program} is not an executable")
  endif()
endforeach()

file(STRINGS "${entry}" exec REGEX "^Exec=")
file(STRINGS "${entry}" tryExec REGEX "^TryExec=")
file(STRINGS "${entry}" iconName REGEX "^Icon=")
if(NOT exec STREQUAL "Exec=${PREFIX}/bin/iap;Exec=${PREFIX}/bin/iap --station" OR NOT tryExec STREQUAL "TryExec=${PREFIX}/bin/iap")
  message(FATAL_ERROR "the desktop entry does not start the installed program and its station: ${exec} ${tryExec}")
endif()
if(NOT iconName STREQUAL "Icon=iap")
  message(FATAL_ERROR "the desktop entry does not name the installed icon: ${iconName}")
endif()

file(READ "${icon}" svg LIMIT 200)
if(NOT svg MATCHES "<svg ")
  message(FATAL_ERROR "${icon} is not an SVG image")
endif()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  execute_process(COMMAND "${DESKTOP_FILE_VALIDATE}" "${entry}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate: ${output}")
  endif()
else()
  message(STATUS "desktop-file-validate is not installed (package desktop-file-utils): the entry's syntax is not checked")
endif()

file(REMOVE_RECURSE "${PREFIX}")
message(STATUS "installed and checked: bin/iap, bin/iap-cli, bin/iap-sim, the desktop entry, its icon, the metainfo and the udev rule")
