# The declaration checks catch a header that drifted from the one they are
# compiled against: each change below, made to a copy of our <soem/soem.h>,
# must fail (the generator refuses it, or the checks do not compile against
# the unchanged header); the unchanged copy must pass.
# Each case: name|pattern|replacement|pass or fail, with @ for a semicolon.
# -DHEADER_DIR= -DGENERATOR= -DCC= -DCXX= -DWORK_DIR=
set(cases
  "unchanged|EC_MAXSLAVE 200|EC_MAXSLAVE 200|pass"
  "a field SOEM lacks|uint16 ALstatuscode@|uint16 ALstatuscode@\n   uint8 esc_type@|fail"
  "a field of another type|uint16 Obits@|uint32 Obits@|fail"
  "an array of another size|uint8 SMtype\\[EC_MAXSM\\]@|uint8 SMtype[EC_MAXSM + 1]@|fail"
  "a function SOEM lacks|void ecx_close\\(ecx_contextt \\*context\\)@|void ecx_close(ecx_contextt *context)@\nint ecx_close_all(void)@|fail"
  "a function of another signature|int ecx_readstate\\(ecx_contextt \\*context\\)@|uint16 ecx_readstate(ecx_contextt *context)@|fail"
  "a macro of another value|EC_MAXSLAVE 200|EC_MAXSLAVE 100|fail"
  "a macro SOEM lacks|#define EC_MAXELIST 64|#define EC_MAXELIST 64\n#define EC_MAXPDFRAMES 16|fail"
  "an enumerator of another value|EC_STATE_BOOT = 0x03|EC_STATE_BOOT = 0x05|fail"
  "a declaration the generator cannot read|#define EC_MAXELIST 64|#define EC_MAXELIST 64\n#define EC_TWICE(x) ((x) * 2)|fail"
)
set(failures)
foreach(c IN LISTS cases)
  string(REPLACE "|" ";" parts "${c}")
  list(GET parts 0 name)
  list(GET parts 1 pattern)
  list(GET parts 2 replacement)
  list(GET parts 3 expected)
  string(REPLACE "\\n" "\n" replacement "${replacement}")
  string(REPLACE "@" ";" pattern "${pattern}")
  string(REPLACE "@" ";" replacement "${replacement}")
  string(MAKE_C_IDENTIFIER "${name}" id)
  set(dir ${WORK_DIR}/${id})
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir}/include/soem)
  file(READ ${HEADER_DIR}/soem/soem.h text)
  string(REGEX REPLACE "${pattern}" "${replacement}" changed "${text}")
  if(expected STREQUAL "fail" AND changed STREQUAL text)
    list(APPEND failures "${name}: the change did not apply")
    continue()
  endif()
  file(WRITE ${dir}/include/soem/soem.h "${changed}")
  file(WRITE ${dir}/include_soem.h "#include <soem/soem.h>\n")
  execute_process(COMMAND ${CC} -E -dD -x c -I ${dir}/include ${dir}/include_soem.h -o ${dir}/soem.i
    RESULT_VARIABLE rc)
  if(rc EQUAL 0)
    execute_process(COMMAND ${GENERATOR} ${dir}/soem.i ${dir}/include/soem ${dir}/checks.cpp
      RESULT_VARIABLE rc ERROR_VARIABLE err)
  endif()
  if(rc EQUAL 0)
    # Against the unchanged header, as the build compiles them against SOEM's.
    execute_process(COMMAND ${CXX} -std=c++17 -fsyntax-only -I ${HEADER_DIR} ${dir}/checks.cpp
      RESULT_VARIABLE rc ERROR_VARIABLE err)
  endif()
  if(expected STREQUAL "pass" AND NOT rc EQUAL 0)
    list(APPEND failures "${name}: the checks failed: ${err}")
  elseif(expected STREQUAL "fail" AND rc EQUAL 0)
    list(APPEND failures "${name}: the checks passed")
  endif()
endforeach()
if(failures)
  string(REPLACE ";" "\n  " text "${failures}")
  message(FATAL_ERROR "declaration checks:\n  ${text}")
endif()
