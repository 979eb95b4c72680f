# The pcap API's headers for the Windows port of the master. The port loads
# wpcap.dll (Npcap) at run time, so nothing of it is linked; the headers give
# the types and the declarations that every call is checked against.
#
# Looked for in:
#   NPCAP_SDK_DIR   the unpacked Npcap SDK (Include/pcap/pcap.h), on Windows;
#   PCAP_ROOT       any folder with include/pcap/pcap.h or Include/pcap/pcap.h;
#   when cross compiling from Debian without either: libpcap's own headers
#   (package libpcap-dev), which declare the Windows calls too. They are
#   copied into the build tree, so that the rest of /usr/include stays out
#   of the cross compiler's way.
#
# Result: PCAP_FOUND, PCAP_INCLUDE_DIR, and the target PCAP::headers.
set(NPCAP_SDK_DIR "$ENV{NPCAP_SDK_DIR}" CACHE PATH "The unpacked Npcap SDK (its Include folder holds pcap/pcap.h)")

find_path(PCAP_INCLUDE_DIR pcap/pcap.h
  HINTS ${NPCAP_SDK_DIR} ${PCAP_ROOT}
  PATH_SUFFIXES Include include
  NO_DEFAULT_PATH)

if(NOT PCAP_INCLUDE_DIR AND CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX AND EXISTS /usr/include/pcap/pcap.h)
  set(_pcap_copy ${CMAKE_BINARY_DIR}/pcap-headers)
  file(COPY /usr/include/pcap DESTINATION ${_pcap_copy})
  set(PCAP_INCLUDE_DIR ${_pcap_copy} CACHE PATH "pcap headers (copied from the build host's libpcap-dev)" FORCE)
  unset(_pcap_copy)
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(PCAP
  REQUIRED_VARS PCAP_INCLUDE_DIR
  REASON_FAILURE_MESSAGE "set NPCAP_SDK_DIR to the unpacked Npcap SDK (https://npcap.com/#download)")

if(PCAP_FOUND AND NOT TARGET PCAP::headers)
  add_library(PCAP::headers INTERFACE IMPORTED)
  set_target_properties(PCAP::headers PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${PCAP_INCLUDE_DIR}")
endif()
