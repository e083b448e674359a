# Installs the build into a scratch prefix, then configures, builds and runs
# examples/consumer against it, and builds it once more from settingsstore.pc.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -P test-package.cmake
set(work ${BUILD_DIR}/package-test)
file(REMOVE_RECURSE ${work})
set(prefix ${work}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(installed bin/settingsctl share/man/man1/settingsctl.1 include/settingsstore/settings/profile_key.h)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()
file(GLOB_RECURSE shared ${prefix}/lib*/libsettingsstore.so)
file(GLOB_RECURSE archive ${prefix}/lib*/libsettingsstore_core.a)
file(GLOB_RECURSE pc ${prefix}/lib*/settingsstore.pc)
if(NOT shared OR NOT archive OR NOT pc)
  message(FATAL_ERROR "libraries or settingsstore.pc not installed: ${shared} ${archive} ${pc}")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/consumer -B ${work}/consumer -G Ninja
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${work}/consumer)
set(ENV{SETTINGSSTORE_REGISTRY} ":memory:")
run(${work}/consumer/consumer ${work}/consumer.ini)
message(STATUS "consumer (CMake package): ${output}")

get_filename_component(pc_dir ${pc} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run(pkg-config --cflags --libs settingsstore)
string(STRIP "${output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(c++ ${SOURCE_DIR}/examples/consumer/main.cpp -o ${work}/consumer-pc ${flags})
run(${work}/consumer-pc ${work}/consumer-pc.ini)
message(STATUS "consumer (pkg-config): ${output}")
file(REMOVE_RECURSE ${work})
