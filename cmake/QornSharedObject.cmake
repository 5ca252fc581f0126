# qorn.so: the one shared object the renderer loads, linked from the objects of noise/,
# util/ and shader/. It exports exactly the symbols in cmake/qorn.map and needs only the
# C library at run time (the renderer services the shader calls are resolved from the
# process that loads it): linked as C (no libstdc++), libgcc static, and without start files, so nothing of its own runs at load or unload.
add_library(qorn SHARED
  $<TARGET_OBJECTS:qorn_noise>
  $<TARGET_OBJECTS:qorn_util>
  $<TARGET_OBJECTS:qorn_wire_geometry>
  $<TARGET_OBJECTS:qorn_texture>)
set_target_properties(qorn PROPERTIES
  PREFIX ""
  LINKER_LANGUAGE C
  LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/qorn.map
  LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
target_link_options(qorn PRIVATE
  -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/qorn.map
  -Wl,--as-needed
  -Wl,-z,noexecstack
  -static-libgcc)
if(NOT QORN_SANITIZE AND NOT QORN_TSAN)
  target_link_options(qorn PRIVATE -nostartfiles)
endif()
