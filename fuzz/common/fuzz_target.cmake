# Helpers for the fuzz target folders (each includes this file).
include_guard(GLOBAL)


# add_fuzz_target(<name> SOURCES <src...> LIBS <targets...>): a libFuzzer
# program. Coverage of the libraries it links comes from the build's flags
# (scripts/fuzz adds -fsanitize=fuzzer-no-link,address,undefined).
function(add_fuzz_target name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
endfunction()

# fuzz_virtual_master_clock(<target>): replaces the bundled master's clock in
# <target> by a virtual one (see virtual_clock.cpp).
function(fuzz_virtual_master_clock target)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/virtual_clock.cpp)
endfunction()

# add_seed_program(<name> SOURCES <src...> LIBS <targets...>): a plain program
# that writes a target's seeds into the folder named on its command line.
function(add_seed_program name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
endfunction()
