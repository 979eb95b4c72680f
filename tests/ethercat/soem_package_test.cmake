# Installs our master (ethercat/) as a SOEM package into a fresh prefix and
# builds a small project against it with find_package(soem CONFIG REQUIRED).
# -DBUILD_DIR= -DCONSUMER_SRC= -DWORK_DIR= -DLINK_DIR= -DWIRE_DIR= -DSUPPORT_DIR= -DSANITIZE=
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --component soem --prefix ${prefix}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installing the soem component failed: ${rc}")
endif()
foreach(f include/soem/soem.h)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "installed package lacks ${f}")
  endif()
endforeach()

set(extra)
if(SANITIZE)
  list(APPEND extra "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${CONSUMER_SRC} -B ${WORK_DIR}/build
  -DCMAKE_PREFIX_PATH=${prefix} -DLINK_DIR=${LINK_DIR} -DWIRE_DIR=${WIRE_DIR}
  -DSUPPORT_DIR=${SUPPORT_DIR} ${extra}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configuring against the installed package failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building against the installed package failed: ${rc}")
endif()
execute_process(COMMAND ${WORK_DIR}/build/soem_consumer RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the consumer built against the package failed to run: ${rc}")
endif()
