# The runtime as a CMake package for programs of their own: `cmake --install BUILD --prefix PREFIX`
# puts the library, the libpng and zlib it links, its public headers and the package configuration
# under PREFIX, and a program's CMakeLists then needs only find_package(hurz) and
# target_link_libraries(app PRIVATE hurz::runtime).
include(CMakePackageConfigHelpers)

# The headers a program calls: the commands and the types they take. The libraries' state records,
# internal steps and test switches are in headers that stay out (*_internal.h, platform.h, ...).
# They keep their place below the runtime folder, so that "runtime/screen/screen.h" names the same
# header in the source tree and in PREFIX/include/hurz.
set(HURZ_PUBLIC_HEADERS
  core/heaps.h core/linked_list.h core/random.h core/registry.h core/runtime.h core/text.h
  window/window.h
  screen/screen.h screen/sprites.h screen/sprites3d.h screen/image_decoders.h
  input/keyboard.h input/mouse.h
  drawing/drawing.h
  sound/sound.h
  network/network.h)
set(record_headers)
foreach(header ${HURZ_PUBLIC_HEADERS})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES runtime/${header} DESTINATION include/hurz/runtime/${folder})
  list(APPEND record_headers runtime/${header})
endforeach()

# The sizes of the records those headers share, as the library sees them, for the package test:
# record_sizes.h in the build folder. Linking passes on only the library's public definitions; the
# private ones its own sources get are added, so that one changing a shared record is seen too.
include(cmake/record_sizes.cmake)
hurz_record_sizes(hurz_record_sizes ${CMAKE_BINARY_DIR}/record_sizes.h ${record_headers})
target_link_libraries(hurz_record_sizes PRIVATE hurz_runtime)
target_compile_definitions(hurz_record_sizes PRIVATE $<TARGET_PROPERTY:hurz_runtime,COMPILE_DEFINITIONS>)

# The toolchain file of this target, so that a program is configured as the library was.
if(HURZ_TRIPLE)
  install(FILES cmake/toolchain-${HURZ_TRIPLE}.cmake DESTINATION lib/cmake/hurz)
endif()

# The toolchain's static zlib, copied beside libpng so that a program links without either the
# set-up's cache or the toolchain's zlib package.
find_library(HURZ_STATIC_ZLIB NAMES libz.a REQUIRED)
install(FILES ${HURZ_DEPS}/lib/libpng16.a ${HURZ_STATIC_ZLIB} DESTINATION lib/hurz)

# Programs built on the installed runtime link statically, as the project's own do, and so need
# only system DLLs.
target_link_options(hurz_runtime INTERFACE
  $<INSTALL_INTERFACE:-static> $<INSTALL_INTERFACE:-static-libgcc> $<INSTALL_INTERFACE:-static-libstdc++>)

set_target_properties(hurz_runtime PROPERTIES EXPORT_NAME runtime)
set_target_properties(hurz_png PROPERTIES EXPORT_NAME png)
install(TARGETS hurz_runtime hurz_png EXPORT hurzTargets ARCHIVE DESTINATION lib)
install(EXPORT hurzTargets NAMESPACE hurz:: DESTINATION lib/cmake/hurz)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/hurzConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES cmake/hurzConfig.cmake ${CMAKE_BINARY_DIR}/hurzConfigVersion.cmake DESTINATION lib/cmake/hurz)
