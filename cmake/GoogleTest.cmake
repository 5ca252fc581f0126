# GoogleTest: Debian's packaged libraries for the native build; for other ABIs (the
# 32-bit build) the same version is built from Debian's source package (googletest).
include(GoogleTest)
if(QORN_ABI STREQUAL "x86_64")
  find_package(GTest REQUIRED)
else()
  set(QORN_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  if(NOT EXISTS ${QORN_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${QORN_GTEST_SOURCE}; install Debian's googletest")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QORN_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest's own build already names its targets GTest::gtest(_main).
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endif()
