# `cmake --install` lays qorn out as a renderer's shader library: lib/qorn.so,
# include/qorn.mi (installed by shader/), the public headers for client shader
# libraries, and a CMake package so that they can find_package(qorn).
include(CMakePackageConfigHelpers)
install(TARGETS qorn LIBRARY DESTINATION lib)
install(FILES
    ${PROJECT_SOURCE_DIR}/renderer_api/mi_interface.h
    ${PROJECT_SOURCE_DIR}/noise/mrWorley.h
    ${PROJECT_SOURCE_DIR}/util/mrmax.h
  DESTINATION include)
configure_file(${PROJECT_SOURCE_DIR}/cmake/qornConfig.cmake.in
  ${PROJECT_BINARY_DIR}/cmake/qornConfig.cmake @ONLY)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cmake/qornConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/cmake/qornConfig.cmake
    ${PROJECT_BINARY_DIR}/cmake/qornConfigVersion.cmake
  DESTINATION lib/cmake/qorn)

# The same target inside this build, for the example shader library.
add_library(qorn_client INTERFACE)
target_include_directories(qorn_client INTERFACE ${QORN_PUBLIC_HEADER_DIRS})
target_link_libraries(qorn_client INTERFACE qorn)
add_library(qorn::qorn ALIAS qorn_client)
