# The fuzz targets (fuzz/README.md says what each feeds): the folder of each,
# holding <folder>_fuzz.cpp (the entry point) and make_seeds.cpp (the seed
# program), and the libraries the entry point links. fuzz/CMakeLists.txt
# builds them with libFuzzer, tests/fuzz_regressions replays their kept
# inputs with the normal compiler. The master's clock in master_rx is
# common/virtual_clock.cpp's: waits cost no time, runs repeat exactly.
set(FUZZ_TARGETS coe master_rx run_csv sii sim_bus)
set(FUZZ_LIBS_coe ecwire)
set(FUZZ_LIBS_master_rx masterbus)
set(FUZZ_SOURCES_master_rx ${CMAKE_CURRENT_LIST_DIR}/common/virtual_clock.cpp)
set(FUZZ_LIBS_run_csv pressure_records)
set(FUZZ_LIBS_sii ecwire)
set(FUZZ_LIBS_sim_bus ecsim_model ecsim_probe)
# The seed programs of these also read the simulator's own SII images and
# mailbox replies through a bring-up of our master (common/bus_capture.h).
set(FUZZ_SEEDS_FROM_BUS coe sii)

# Sets <out> to whether every library of <target> is in this build.
function(fuzz_target_buildable target out)
  set(ok TRUE)
  foreach(lib IN LISTS FUZZ_LIBS_${target})
    if(NOT TARGET ${lib})
      set(ok FALSE)
    endif()
  endforeach()
  set(${out} ${ok} PARENT_SCOPE)
endfunction()
