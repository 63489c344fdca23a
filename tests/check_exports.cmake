# Fails unless the module's dynamic symbol table defines ZorvaneOscillator and
# no other symbol of ours. Run with -DMODULE=<path> -DNM=<nm>.
execute_process(COMMAND "${NM}" -D --defined-only "${MODULE}"
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${MODULE}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(exported "")
foreach(line IN LISTS lines)
  # Version nodes (type A) are not symbols of ours.
  if(line MATCHES " A ")
    continue()
  endif()
  if(line MATCHES " [A-Za-z] ([^ ]+)$")
    list(APPEND exported "${CMAKE_MATCH_1}")
  endif()
endforeach()
if(NOT exported STREQUAL "ZorvaneOscillator")
  message(FATAL_ERROR "expected only ZorvaneOscillator, found: ${exported}")
endif()
message(STATUS "exports: ${exported}")
