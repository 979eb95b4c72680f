# The part of the project that needs no Qt (top-level option QT_FREE_ONLY):
# the wire formats, the master with the port of the target system, the
# pressure link and the slave model, and the Windows test program. This is
# what the Windows cross build compiles and tests under Wine.
if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(PCAP REQUIRED IMPORTED_TARGET libpcap)
endif()

if(BUILD_TESTING)
  enable_testing()
endif()

add_subdirectory(wire)
add_subdirectory(sim/model)
add_subdirectory(ethercat)
add_library(ecat_backend INTERFACE)
target_link_libraries(ecat_backend INTERFACE ecmaster)
add_subdirectory(link)

if(BUILD_TESTING)
  add_subdirectory(tests/windows)
endif()
