# ZORVANE_TARGET_ARCH: which kernels the target gets. x86 (32- or 64-bit):
# SSE2, AVX2 and AVX-512, chosen at run time; aarch64: NEON; anything else:
# the portable kernels. The sources pick their helpers by the compiler's own
# macros (lanes.hpp), which agree with this.
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" processor)
if(processor MATCHES "^(x86_64|amd64|x86|i[3-6]86)$")
  set(ZORVANE_TARGET_ARCH x86)
elseif(processor MATCHES "^(aarch64|arm64)$")
  set(ZORVANE_TARGET_ARCH aarch64)
else()
  set(ZORVANE_TARGET_ARCH portable)
endif()
message(STATUS "Zorvane kernels for: ${ZORVANE_TARGET_ARCH} (${CMAKE_SYSTEM_PROCESSOR})")
