# The Debian package: `cpack -G DEB` in the build folder (scripts/package
# does it and checks the result). Included last by the top-level
# CMakeLists.txt, once every program has made its install rules: the package
# takes every install component except the master's development files (soem)
# and the simulator, so a program that joins with its own install() rules is
# in it without a change here.

# The one program of the package with a capability: the raw-socket helper
# (rawsocket/). The postinst gives it cap_net_raw and lets root and the group
# below run it; no other program gets a capability.
set(PRESSURE_RAW_SOCKET_GROUP pressure-monitor)

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
adapter. Raw Ethernet frames go through one small helper, the only program
with a capability (cap_net_raw), which root and the members of the group
pressure-monitor may run.")
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
# Qt and the C++ runtime from the programs' own links; setcap and addgroup
# for the postinst.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin, adduser")

set(RAW_SOCKET_HELPER ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/pressure-monitor/pressure-raw-socket)
set(RAW_SOCKET_GROUP ${PRESSURE_RAW_SOCKET_GROUP})
set(_maintainer_scripts ${CMAKE_BINARY_DIR}/packaging/debian)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/postinst.in ${_maintainer_scripts}/postinst
  @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${_maintainer_scripts}/postinst
  ${CMAKE_CURRENT_LIST_DIR}/debian/prerm
  ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
