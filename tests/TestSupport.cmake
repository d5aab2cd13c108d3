# GoogleTest and what every test program links, set up before src/ so that
# the Windows part there (tests/windows) can add test programs too.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  # Windows cross-builds build GoogleTest from Debian's sources, statically,
  # with the same compiler; the tests run under the emulator the preset names
  # (Wine).
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# Scratch folders, environment variables and child processes
# (tests/SystemSupport.h), and on Windows the tests' own main().
set(TOLVAN_TESTS_DIR ${CMAKE_CURRENT_LIST_DIR})
if(WIN32)
  add_library(tolvan_test_support OBJECT ${TOLVAN_TESTS_DIR}/SystemSupport.cpp
              ${TOLVAN_TESTS_DIR}/SystemSupport_win32.cpp ${TOLVAN_TESTS_DIR}/TestMain_win32.cpp)
  target_link_libraries(tolvan_test_support PUBLIC tolvan_platform GTest::gmock GTest::gtest shell32)
else()
  add_library(tolvan_test_support OBJECT ${TOLVAN_TESTS_DIR}/SystemSupport.cpp
              ${TOLVAN_TESTS_DIR}/SystemSupport_posix.cpp)
  target_link_libraries(tolvan_test_support PUBLIC tolvan_platform GTest::gmock GTest::gtest_main)
endif()
target_include_directories(tolvan_test_support PUBLIC ${TOLVAN_TESTS_DIR})

include(${TOLVAN_TESTS_DIR}/support/TestFakes.cmake)
target_link_libraries(tolvan_test_support PUBLIC tolvan_test_fakes)
