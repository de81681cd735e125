# CLI11, the tools' command-line parser: Debian's libcli11-dev, header only,
# in /usr/include/CLI. The Windows cross build takes the same headers, but
# through a folder that holds CLI/ alone, so that none of the host's other
# headers can stand in for the cross compiler's.
find_path(QUORVET_CLI11_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NOT QUORVET_CLI11_INCLUDE_DIR)
  message(FATAL_ERROR "CLI11 not found: install libcli11-dev (scripts/deps.sh)")
endif()
add_library(quorvet_cli11 INTERFACE)
if(CMAKE_CROSSCOMPILING)
  set(dir ${CMAKE_BINARY_DIR}/cli11-include)
  file(MAKE_DIRECTORY ${dir})
  file(CREATE_LINK ${QUORVET_CLI11_INCLUDE_DIR}/CLI ${dir}/CLI SYMBOLIC)
  target_include_directories(quorvet_cli11 SYSTEM INTERFACE ${dir})
else()
  target_include_directories(quorvet_cli11 SYSTEM INTERFACE ${QUORVET_CLI11_INCLUDE_DIR})
endif()
