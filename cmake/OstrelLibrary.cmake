# The engine as a library for other programs: libostrel, shared (with a versioned SONAME) and
# static, exporting the C API of include/ostrel/ostrel.h and nothing else. Its code is the
# engine's sources of module/, player/ and audio/ compiled once more, position-independent and
# with hidden symbols, so that the demo, the tools and the tests keep their own build of the same
# sources, unchanged. It links no platform library, and leaves out the demo's song
# (module/builtin_stream.cpp), the output ring and its audio thread (audio/output.cpp) and the
# demo's music glue (audio/music.cpp). Programs link Ostrel::ostrel (shared) or
# Ostrel::ostrel_static, the same names under add_subdirectory and from the installed package
# (find_package(Ostrel CONFIG)); pkg-config knows it as ostrel.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

file(GLOB ostrel_library_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/module/*.cpp
     ${PROJECT_SOURCE_DIR}/player/*.cpp ${PROJECT_SOURCE_DIR}/audio/*.cpp)
list(REMOVE_ITEM ostrel_library_sources ${PROJECT_SOURCE_DIR}/module/builtin_stream.cpp
     ${PROJECT_SOURCE_DIR}/audio/output.cpp ${PROJECT_SOURCE_DIR}/audio/music.cpp)
add_library(ostrel_library_objects OBJECT ${ostrel_library_sources})
set_target_properties(ostrel_library_objects PROPERTIES POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_compile_definitions(ostrel_library_objects PRIVATE OSTREL_SHARED_BUILD
  OSTREL_LIBRARY_VERSION="${PROJECT_VERSION}")
target_include_directories(ostrel_library_objects PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(ostrel_library_objects PRIVATE ostrel_flags ostrel_lean)
# As in the audio layer: the AVX2 loops, and only they, for processors that have AVX2.
set_source_files_properties(${PROJECT_SOURCE_DIR}/audio/mixer_avx2.cpp
  TARGET_DIRECTORY ostrel_library_objects PROPERTIES COMPILE_OPTIONS -mavx2)

set(ostrel_public_include $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
add_library(ostrel_shared SHARED $<TARGET_OBJECTS:ostrel_library_objects>)
set_target_properties(ostrel_shared PROPERTIES OUTPUT_NAME ostrel EXPORT_NAME ostrel
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR} LINKER_LANGUAGE CXX)
target_include_directories(ostrel_shared PUBLIC ${ostrel_public_include})
add_library(ostrel_static STATIC $<TARGET_OBJECTS:ostrel_library_objects>)
set_target_properties(ostrel_static PROPERTIES OUTPUT_NAME ostrel EXPORT_NAME ostrel_static)
target_include_directories(ostrel_static PUBLIC ${ostrel_public_include})
# A C program that links the static library links the C++ runtime the engine's code uses.
target_link_libraries(ostrel_static INTERFACE stdc++ m)
if(OSTREL_SANITIZE)
  list(JOIN OSTREL_SANITIZE "," _san)
  target_link_options(ostrel_shared PRIVATE -fsanitize=${_san})
endif()
add_library(Ostrel::ostrel ALIAS ostrel_shared)
add_library(Ostrel::ostrel_static ALIAS ostrel_static)

set(ostrel_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Ostrel)
install(TARGETS ostrel_shared ostrel_static EXPORT OstrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/ostrel/ostrel.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ostrel)
install(EXPORT OstrelTargets NAMESPACE Ostrel:: DESTINATION ${ostrel_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/OstrelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/OstrelConfig.cmake INSTALL_DESTINATION ${ostrel_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/OstrelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/OstrelConfig.cmake ${PROJECT_BINARY_DIR}/OstrelConfigVersion.cmake
  DESTINATION ${ostrel_cmake_dir})
# The .pc file finds the prefix from its own place: "../.." up from lib/pkgconfig.
string(REGEX REPLACE "[^/]+" ".." OSTREL_PC_UP "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
configure_file(${PROJECT_SOURCE_DIR}/cmake/ostrel.pc.in ${PROJECT_BINARY_DIR}/ostrel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/ostrel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
