# Installs the build into a temporary prefix, then uses it as its users do:
# a CMake project through find_package, a C program through pkg-config, and
# the installed zorvane moved elsewhere and run from another folder with an
# empty environment (it must find its module and sample bars by itself).
# -DBUILD_DIR -DSOURCE_DIR -DWORK_DIR
file(REMOVE_RECURSE "${WORK_DIR}")
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                  WORKING_DIRECTORY "${WORK_DIR}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()
file(MAKE_DIRECTORY "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
run(${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}/build" "-DCMAKE_PREFIX_PATH=${prefix}")
run(${CMAKE_COMMAND} --build "${WORK_DIR}/build")
run("${WORK_DIR}/build/consumer")

file(GLOB pcDir LIST_DIRECTORIES true "${prefix}/lib*/pkgconfig" "${prefix}/lib/*/pkgconfig")
run(env "PKG_CONFIG_PATH=${pcDir}" pkg-config "--define-variable=prefix=${prefix}" --cflags --libs zorvane-oscillator)
string(STRIP "${out}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(cc -std=c99 -pedantic-errors -o "${WORK_DIR}/c_host" "${SOURCE_DIR}/host.c" ${flags})
run("${WORK_DIR}/c_host")

file(RENAME "${prefix}" "${WORK_DIR}/moved")
file(MAKE_DIRECTORY "${WORK_DIR}/elsewhere")
run(env -i sh -c "cd '${WORK_DIR}/elsewhere' && '${WORK_DIR}/moved/bin/zorvane'")
if(NOT out MATCHES "Read 2000 bars" OR NOT EXISTS "${WORK_DIR}/elsewhere/zorvane-sample.csv")
  message(FATAL_ERROR "the moved zorvane did not run on its sample bars:\n${out}")
endif()
message(STATUS "installed tree used through CMake, pkg-config and a moved zorvane")
