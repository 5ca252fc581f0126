# Flags shared by every object that goes into the plug-in: hidden symbols, position
# independent, no exceptions or RTTI (the plug-in carries no C++ runtime), and no errno
# from the maths functions so square roots stay single instructions.
function(qorn_library_objects target)
  set_target_properties(${target} PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti -fno-math-errno)
  target_compile_definitions(${target} PRIVATE QORN_BUILDING_LIBRARY)
  target_include_directories(${target} PUBLIC ${QORN_PUBLIC_HEADER_DIRS})
endfunction()
