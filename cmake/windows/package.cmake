# What a Windows user downloads: zorvane-oscillator-VERSION-windows-ARCH.zip,
# made by CPack's ZIP generator from the install rules below (run
# scripts/package-windows, which also makes it reproducible: TZ=UTC and
# SOURCE_DATE_EPOCH for the members' times). Everything sits in one folder,
# the DLL beside zorvane.exe, which loads it from there.
include(GNUInstallDirs)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(ZORVANE_WINDOWS_ARCH x86)
  set(dlltoolMachine i386)
  set(libMachine x86)
  set(hostBits 32-bit)
else()
  set(ZORVANE_WINDOWS_ARCH x64)
  set(dlltoolMachine i386:x86-64)
  set(libMachine x64)
  set(hostBits 64-bit)
endif()
set(moduleName "Zorvane Oscillator")
set(packageFiles ${PROJECT_BINARY_DIR}/windows-package)

# The import libraries: mingw-w64's (GNU format, "Zorvane Oscillator.dll.a",
# written by the linker) and MSVC's own format ("Zorvane Oscillator.lib",
# from the .def by LLVM's dlltool), whose names say the DLL to load.
configure_file(${CMAKE_CURRENT_LIST_DIR}/module.def.in "${packageFiles}/${moduleName}.def" @ONLY)
find_program(ZORVANE_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14 REQUIRED)
add_custom_command(OUTPUT "${packageFiles}/${moduleName}.lib"
  COMMAND ${ZORVANE_LLVM_DLLTOOL} -m ${dlltoolMachine} -d "${packageFiles}/${moduleName}.def"
          -D "${moduleName}.dll" -l "${packageFiles}/${moduleName}.lib"
  DEPENDS "${packageFiles}/${moduleName}.def"
  COMMENT "MSVC import library"
  VERBATIM)
add_custom_target(zorvane_msvc_import_library ALL DEPENDS "${packageFiles}/${moduleName}.lib")

# README.txt and the licence with Windows line ends, for any text editor.
configure_file(${CMAKE_CURRENT_LIST_DIR}/README.txt.in ${packageFiles}/README.txt @ONLY NEWLINE_STYLE CRLF)

install(TARGETS zorvane_module RUNTIME DESTINATION . ARCHIVE DESTINATION .)
install(FILES "${packageFiles}/${moduleName}.def" "${packageFiles}/${moduleName}.lib" ${packageFiles}/README.txt
  DESTINATION .)
# The C header and the version header it includes. The C++ header belongs to
# the static C++ library, which the zip does not hold.
install(FILES ${PROJECT_SOURCE_DIR}/include/zorvane/oscillator.h ${ZORVANE_GENERATED_INCLUDE_DIR}/zorvane/version.h
  DESTINATION include/zorvane)
if(TARGET zorvane)
  install(TARGETS zorvane RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/data/sample_bars.csv DESTINATION .)
endif()
# The licence; zorvane.exe's HTML report carries uPlot, whose licence goes with it.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${PROJECT_SOURCE_DIR}/third_party/uplot/LICENSE DESTINATION licences RENAME uPlot-LICENSE.txt)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zorvane-oscillator)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME zorvane-oscillator-${PROJECT_VERSION}-windows-${ZORVANE_WINDOWS_ARCH})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_PACKAGE_VENDOR "Zorvane Oscillator")
include(CPack)
