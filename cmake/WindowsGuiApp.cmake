# windows_gui_app(TARGET): what a window program needs on Windows.
# - A GUI-subsystem executable (WIN32_EXECUTABLE): no console window opens
#   with it. Qt links its entry point into such executables; it converts the
#   command line and calls main.
# - An install step that puts Qt's DLLs and plugins beside the installed
#   program with Qt's windeployqt, when the Qt installation has windeployqt
#   (or WINDEPLOYQT_EXECUTABLE names one). Call it after install(TARGETS):
#   install steps run in the order they were declared.
function(windows_gui_app target)
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  if(NOT WIN32)
    return()
  endif()
  find_program(WINDEPLOYQT_EXECUTABLE windeployqt HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}")
  if(NOT WINDEPLOYQT_EXECUTABLE)
    message(STATUS "windeployqt not found: installing ${target} puts no Qt DLLs beside it")
    return()
  endif()
  install(CODE "execute_process(
    COMMAND \"${WINDEPLOYQT_EXECUTABLE}\" --no-translations
            \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${target}>\"
    COMMAND_ERROR_IS_FATAL ANY)")
endfunction()
