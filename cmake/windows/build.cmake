# Settings of the Windows cross build (cmake/toolchains/mingw-w64.cmake).
#
# Bytes that depend on the sources alone, whichever folder they are built
# in and whenever (build paths are mapped out for every build): no link time
# in the PE header, and a DLL base address fixed rather than hashed from the
# output path (what ld picks for -shared otherwise). The symbol table is
# left out: users get the DLL and programs stripped.
add_link_options(-Wl,--no-insert-timestamp -Wl,--disable-auto-image-base -s)

include(${CMAKE_CURRENT_LIST_DIR}/version_resource.cmake)
