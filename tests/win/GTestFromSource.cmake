# GoogleTest and GoogleMock for the Windows cross build, compiled from the
# sources Debian's libgtest-dev ships (there is no mingw package of them).
set(QUORVET_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(NOT EXISTS ${QUORVET_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources at ${QUORVET_GTEST_SOURCE} (Debian: libgtest-dev)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${QUORVET_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main gmock gmock_main)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
