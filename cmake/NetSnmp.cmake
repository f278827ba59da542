# net-snmp ships no CMake package; its headers and library sit in the system paths.
find_path(NET_SNMP_INCLUDE_DIR net-snmp/net-snmp-config.h REQUIRED)
find_library(NET_SNMP_LIBRARY netsnmp REQUIRED)
add_library(netsnmp_client INTERFACE)
target_include_directories(netsnmp_client SYSTEM INTERFACE ${NET_SNMP_INCLUDE_DIR})
target_link_libraries(netsnmp_client INTERFACE ${NET_SNMP_LIBRARY})
