# The install test (ctest: install_and_consume).  Installs the component
# "pictavo" of BUILD_DIR into a temporary prefix, checks what was installed,
# runs the installed program, then builds and runs the consumer in
# CONSUMER_DIR once with find_package and once with pkg-config.

set(work ${BUILD_DIR}/install-test)
set(prefix ${work}/prefix)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                  WORKING_DIRECTORY ${work})
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component pictavo)

# Public headers only, the umbrella and the version header.
foreach(internal codecs/tiff_internal.h formats/codec_table.h io/codec_table.h)
  if(EXISTS ${prefix}/include/pictavo/${internal})
    message(FATAL_ERROR "internal header installed: ${internal}")
  endif()
endforeach()
foreach(public pictavo.h core/pvversion.h io/pictavoio.h io/builtin_lzw.h)
  if(NOT EXISTS ${prefix}/include/pictavo/${public})
    message(FATAL_ERROR "public header missing: ${public}")
  endif()
endforeach()

# The installed program runs without any library path set (its RPATH).
run("installed pictavo --version" ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH
    ${prefix}/bin/pictavo --version)
if(NOT last_output MATCHES "^pictavo [0-9]+\\.[0-9]+\\.[0-9]+")
  message(FATAL_ERROR "unexpected version output: ${last_output}")
endif()

# find_package, with no C++ standard set by the consumer.
run("configure the find_package consumer" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${work}/cmake
    -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX}
    -DCMAKE_BUILD_TYPE=Release)
run("build the find_package consumer" ${CMAKE_COMMAND} --build ${work}/cmake)
run("run the find_package consumer" ${work}/cmake/consume)

# pkg-config: the flags it gives are all the compiler gets.
find_program(PKG_CONFIG pkg-config REQUIRED)
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
run("pkg-config" ${PKG_CONFIG} --cflags --libs pictavo)
string(STRIP "${last_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run("build the pkg-config consumer" ${CXX} -O1 -o ${work}/consume-pc ${CONSUMER_DIR}/consume.cpp
    ${flags})
run("run the pkg-config consumer" ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/lib
    ${work}/consume-pc)
message(STATUS "install and consume: ok")
