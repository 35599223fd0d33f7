# The program's layers, and the two checks that keep their dependencies pointing one way. The top
# CMakeLists.txt declares the graph; tests/layers builds a small graph of its own with the same
# functions to show that the checks catch a call or an include against the direction.
#
# ostrel_layer(<name> FOLDER <dir> [USES <layer>...] [INTERFACE | BACKEND | UNBUILT]
#              [CHECK_BACKEND <target>])
#   Declares the layer <name>: its code is the .cpp and .h files directly in <dir> (not in its
#   sub-folders), and it may include and call the layers it USES and, through them, the layers
#   they use. Creates the static library ostrel_<name>, to which the folder's own CMakeLists.txt
#   adds the sources, linked PUBLIC to the libraries of the layers it uses: a program then links
#   the layers top to bottom, each once, and needs no rescans.
#   INTERFACE  headers only: an INTERFACE library (the platform interface).
#   BACKEND    implements the platform interface: it may include its headers, but its library
#              links none of our layers.
#   UNBUILT    declared for the include check only (the backend of the other host).
#   CHECK_BACKEND  the backend whose library the layer's link check links for the platform
#              interface (default: the one the platform interface itself picks).
#
# ostrel_layer_library(<layer> <target>)
#   Another library built from a layer's folder (e.g. a backend's sound device), link-checked
#   like the layer's own.
#
# ostrel_check_layers()
#   Called once every layer's sources are added. Adds both checks to the default build:
#   - the include check (target ostrel_layer_includes): cmake/check_layer_includes.cmake reads
#     every #include "..." of every layer's files and fails the build, naming file and line,
#     when one names a header of a layer that is not the file's own or below it. It runs again
#     whenever a layer's file changes.
#   - the link checks (targets ostrel_link_check_<name>): one small program per layer library,
#     linking all of that library's objects (whole archive) and only what it declares below
#     it. A call into a layer above fails there as an undefined reference. The program's own
#     link cannot catch it: a static library's object that was pulled in earlier resolves a
#     later call against the direction without complaint.

set(OSTREL_LAYERS_DIR ${CMAKE_CURRENT_LIST_DIR})

function(ostrel_layer name)
  cmake_parse_arguments(L "INTERFACE;BACKEND;UNBUILT" "FOLDER;CHECK_BACKEND" "USES" ${ARGN})
  if(NOT L_FOLDER)
    message(FATAL_ERROR "ostrel_layer(${name}): no FOLDER")
  endif()
  set_property(GLOBAL APPEND PROPERTY OSTREL_LAYERS ${name})
  set_property(GLOBAL PROPERTY OSTREL_LAYER_${name}_FOLDER ${L_FOLDER})
  set_property(GLOBAL PROPERTY OSTREL_LAYER_${name}_USES ${L_USES})
  if(L_UNBUILT)
    return()
  endif()
  if(L_INTERFACE)
    add_library(ostrel_${name} INTERFACE)
    return()
  endif()
  add_library(ostrel_${name} STATIC)
  target_link_libraries(ostrel_${name} PUBLIC ostrel_flags PRIVATE ostrel_lean)
  if(NOT L_BACKEND)
    foreach(use IN LISTS L_USES)
      target_link_libraries(ostrel_${name} PUBLIC ostrel_${use})
    endforeach()
  endif()
  ostrel_layer_library(${name} ostrel_${name})
  if(L_CHECK_BACKEND)
    set_property(GLOBAL PROPERTY OSTREL_LINK_CHECK_${name}_BACKEND ${L_CHECK_BACKEND})
  endif()
endfunction()

function(ostrel_layer_library layer target)
  set_property(GLOBAL APPEND PROPERTY OSTREL_LAYER_LIBRARIES ${target})
  set_property(GLOBAL PROPERTY OSTREL_LAYER_OF_${target} ${layer})
endfunction()

function(ostrel_check_layers)
  get_property(layers GLOBAL PROPERTY OSTREL_LAYERS)

  # The include check: the declared graph as a script the checker reads, and every layer file
  # as a dependency, so that an edited include is checked on the next build.
  set(graph "set(OSTREL_LAYERS ${layers})\n")
  set(files "")
  foreach(layer IN LISTS layers)
    get_property(folder GLOBAL PROPERTY OSTREL_LAYER_${layer}_FOLDER)
    get_property(uses GLOBAL PROPERTY OSTREL_LAYER_${layer}_USES)
    string(APPEND graph "set(OSTREL_LAYER_${layer}_FOLDER ${folder})\n")
    string(APPEND graph "set(OSTREL_LAYER_${layer}_USES ${uses})\n")
    file(GLOB layer_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp
         ${CMAKE_SOURCE_DIR}/${folder}/*.h)
    list(APPEND files ${layer_files})
  endforeach()
  set(graph_file ${CMAKE_BINARY_DIR}/layer_graph.cmake)
  file(CONFIGURE OUTPUT ${graph_file} CONTENT "${graph}")
  set(stamp ${CMAKE_BINARY_DIR}/layer_includes.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DGRAPH=${graph_file} -DROOT=${CMAKE_SOURCE_DIR} -DSTAMP=${stamp}
            -P ${OSTREL_LAYERS_DIR}/check_layer_includes.cmake
    DEPENDS ${OSTREL_LAYERS_DIR}/check_layer_includes.cmake ${graph_file} ${files}
    COMMENT "Checking that every layer includes only its own and lower layers' headers"
    VERBATIM)
  add_custom_target(ostrel_layer_includes ALL DEPENDS ${stamp})

  # The link checks.
  set(check_main ${CMAKE_BINARY_DIR}/layer_link_check.cpp)
  file(CONFIGURE OUTPUT ${check_main}
       CONTENT "// Links one layer library whole; nothing runs.\nint main() {\n    return 0;\n}\n")
  get_property(libraries GLOBAL PROPERTY OSTREL_LAYER_LIBRARIES)
  foreach(target IN LISTS libraries)
    get_property(layer GLOBAL PROPERTY OSTREL_LAYER_OF_${target})
    get_property(backend GLOBAL PROPERTY OSTREL_LINK_CHECK_${layer}_BACKEND)
    set(check ostrel_link_check_${target})
    string(REPLACE "ostrel_link_check_ostrel_" "ostrel_link_check_" check ${check})
    add_executable(${check} ${check_main})
    target_link_libraries(${check} PRIVATE ostrel_flags "$<LINK_LIBRARY:WHOLE_ARCHIVE,${target}>")
    if(backend)
      set_target_properties(${check} PROPERTIES OSTREL_BACKEND ${backend})
    endif()
    set_target_properties(${check} PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                              ${CMAKE_BINARY_DIR}/layer_checks)
  endforeach()
endfunction()
