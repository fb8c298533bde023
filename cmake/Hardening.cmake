# Debian's hardening, as dpkg-buildflags gives it with hardening=+all, in every build of the
# programs: `cpack -G DEB` in any build folder makes the package scripts/package.sh makes.
# _FORTIFY_SOURCE works only where the compiler optimizes (not in a Debug build) and is left out
# of a sanitized build, whose own checks cover the same calls.
if(NOT UNIX OR APPLE OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  return()
endif()
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
add_compile_options(-Wdate-time -fstack-protector-strong -Wformat -Werror=format-security)
if(NOT IAP_SANITIZE)
  set(optimized $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
  add_compile_options($<${optimized}:-U_FORTIFY_SOURCE> $<${optimized}:-D_FORTIFY_SOURCE=2>)
endif()
add_link_options(-Wl,-z,relro -Wl,-z,now)
