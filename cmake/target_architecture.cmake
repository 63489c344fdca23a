# ZORVANE_PROCESSOR: x86 (32- or 64-bit), aarch64 or other, for what depends
# on the processor itself (its floating-point control registers).
# ZORVANE_KERNEL_FAMILY: which kernels the build gets. x86: SSE2, AVX2 and
# AVX-512, chosen at run time; aarch64: NEON; other: the portable kernels,
# which ZORVANE_PORTABLE_KERNELS asks for anywhere, to test them. The sources
# pick their helpers by the compiler's own macros (lanes.hpp), which agree.
option(ZORVANE_PORTABLE_KERNELS "Build the portable kernels whatever the processor" OFF)
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" processor)
if(processor MATCHES "^(x86_64|amd64|x86|i[3-6]86)$")
  set(ZORVANE_PROCESSOR x86)
elseif(processor MATCHES "^(aarch64|arm64)$")
  set(ZORVANE_PROCESSOR aarch64)
else()
  set(ZORVANE_PROCESSOR other)
endif()
set(ZORVANE_KERNEL_FAMILY ${ZORVANE_PROCESSOR})
if(ZORVANE_PORTABLE_KERNELS OR ZORVANE_PROCESSOR STREQUAL "other")
  set(ZORVANE_KERNEL_FAMILY portable)
endif()
if(ZORVANE_PORTABLE_KERNELS)
  add_compile_definitions(ZORVANE_PORTABLE_KERNELS)
endif()
message(STATUS "Zorvane kernels: ${ZORVANE_KERNEL_FAMILY} (processor ${CMAKE_SYSTEM_PROCESSOR})")
