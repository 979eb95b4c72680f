# The Debian package: `cpack -G DEB` in the build folder (scripts/package
# does it and checks the result). Included last by the top-level
# CMakeLists.txt, once every program has made its install rules: the package
# takes every install component except the master's development files (soem)
# and the simulator, so a program that joins with its own install() rules is
# in it without a change here.

# Programs that open raw EtherCAT frames: the postinst gives each of them
# that the package holds cap_net_raw and cap_net_admin.
set(PRESSURE_RAW_FRAME_PROGRAMS pressure-monitor pressure-logger pressure-bus-check
    CACHE STRING "Programs of the package that need the raw-frame capabilities")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pressure-monitor)
set(CPACK_PACKAGE_VENDOR "The pressure monitor developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "EtherCAT pressure monitor, headless logger and logging service")
set(CPACK_PACKAGE_DESCRIPTION "\
A desktop window that brings up an EtherCAT bus on a chosen network adapter,
reads one pressure sensor every 10 ms, shows the pressure in mbar once a
second with the link's health, logs runs to CSV files with a live chart, and
loads old runs back. pressure-logger writes the same CSV files without a
desktop, and pressure-logger@.service runs it as a service, one instance per
adapter. The programs get the capabilities for raw Ethernet frames when the
package is installed.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
get_cmake_property(_pressure_components COMPONENTS)
list(REMOVE_ITEM _pressure_components soem simulator)
set(CPACK_COMPONENTS_ALL ${_pressure_components})

set(CPACK_DEBIAN_PACKAGE_NAME pressure-monitor)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(PRESSURE_PACKAGE_MAINTAINER "Pressure monitor maintainers <maintainers@users.noreply.c-seed-3d2e3ba5.example>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PRESSURE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Qt, libpcap and the C++ runtime from the programs' own links; setcap for
# the postinst.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin")

set(_raw_frame_paths)
foreach(_program IN LISTS PRESSURE_RAW_FRAME_PROGRAMS)
  list(APPEND _raw_frame_paths ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${_program})
endforeach()
list(JOIN _raw_frame_paths " " RAW_FRAME_PROGRAMS)
set(_maintainer_scripts ${CMAKE_BINARY_DIR}/packaging/debian)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/postinst.in ${_maintainer_scripts}/postinst
  @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${_maintainer_scripts}/postinst
  ${CMAKE_CURRENT_LIST_DIR}/debian/prerm
  ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
