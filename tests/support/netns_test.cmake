# add_netns_test(<name> <exe> [CASES <case>...] [ARGS <arg>...] [RUN_THROUGH <command>...]
#                [TIMEOUT <seconds>] [COST <n>] [LABELS <label>...])
# A test that runs <exe> inside a private network namespace of its own
# (scripts/netns-run: one veth pair, ECAT_MASTER_IF and ECAT_SIM_IF set), with
# the simulator program built beside it. Without root it is skipped (exit 77);
# under CI=true netns-run makes that a failure. With CASES, one test
# <name>.<case> per case, each a fresh process that runs that test function
# alone. RUN_THROUGH puts a command between netns-run and <exe>. Offscreen;
# 300 s unless TIMEOUT says otherwise.
function(add_netns_test name exe)
  cmake_parse_arguments(T "" "TIMEOUT;COST" "CASES;ARGS;RUN_THROUGH;LABELS" ${ARGN})
  set(run ${PROJECT_SOURCE_DIR}/scripts/netns-run ${T_RUN_THROUGH} $<TARGET_FILE:${exe}>)
  set(names)
  if(T_CASES)
    foreach(c IN LISTS T_CASES)
      add_test(NAME ${name}.${c} COMMAND ${run} ${c} ${T_ARGS})
      list(APPEND names ${name}.${c})
    endforeach()
  else()
    add_test(NAME ${name} COMMAND ${run} ${T_ARGS})
    set(names ${name})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${names} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT ${T_TIMEOUT}
                                           ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  if(T_COST)
    set_tests_properties(${names} PROPERTIES COST ${T_COST})
  endif()
  if(T_LABELS)
    set_tests_properties(${names} PROPERTIES LABELS "${T_LABELS}")
  endif()
  add_dependencies(${exe} ethercat-sensor-sim)
endfunction()
