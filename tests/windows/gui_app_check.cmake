# Builds gui_app/ with the Windows toolchain and installs it: the program must
# be a GUI-subsystem executable, and the install must have run windeployqt on
# the installed program.
#   -DTOOLCHAIN= -DOBJDUMP= -DSOURCE= -DWORK= -DREPO_CMAKE_DIR=
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/build
    --toolchain ${TOOLCHAIN} -DREPO_CMAKE_DIR=${REPO_CMAKE_DIR}
    -DWINDEPLOYQT_EXECUTABLE=${SOURCE}/fake-windeployqt
  OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configuring gui_app failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/build OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building gui_app failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --install ${WORK}/build --prefix ${WORK}/prefix
  OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installing gui_app failed: ${rc}")
endif()

set(exe ${WORK}/prefix/bin/gui-app.exe)
execute_process(COMMAND ${OBJDUMP} -p ${exe} OUTPUT_VARIABLE headers RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT headers MATCHES "Subsystem[ \t]+00000002")
  string(REGEX MATCH "Subsystem[^\n]*" got "${headers}")
  message(FATAL_ERROR "gui-app.exe is not a GUI-subsystem program (${got})")
endif()
if(NOT EXISTS ${WORK}/prefix/bin/windeployqt.args)
  message(FATAL_ERROR "installing did not run windeployqt")
endif()
file(STRINGS ${WORK}/prefix/bin/windeployqt.args args)
if(NOT args MATCHES "gui-app.exe")
  message(FATAL_ERROR "windeployqt was not given the installed program: ${args}")
endif()
message(STATUS "GUI subsystem; windeployqt ran with: ${args}")
