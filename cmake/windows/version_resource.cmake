# zorvane_add_version_resource(TARGET FILE_NAME DESCRIPTION FILE_TYPE):
# Windows version information (Explorer's Properties > Details) for a DLL
# (FILE_TYPE VFT_DLL) or program (VFT_APP), from the project's one version.
# windres is run directly rather than as CMake's RC language, which would
# hand it the C compiler's options.
# As in LICENSE (ASCII: windres reads the script in a code page).
set(ZORVANE_COPYRIGHT "Copyright (C) 2026 The Zorvane Oscillator developers")
set(zorvaneVersionTemplate ${CMAKE_CURRENT_LIST_DIR}/version.rc.in)

function(zorvane_add_version_resource target fileName description fileType)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.o)
  configure_file(${zorvaneVersionTemplate} ${rc} @ONLY)
  add_custom_command(OUTPUT ${object}
    COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${rc} -o ${object}
    DEPENDS ${rc}
    COMMENT "Version resource of ${fileName}"
    VERBATIM)
  target_sources(${target} PRIVATE ${object})
endfunction()
