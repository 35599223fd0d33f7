# The program's layers: a library per layer, linked one way. The top CMakeLists.txt declares
# the graph.
#
# ostrel_layer(<name> FOLDER <dir> [USES <layer>...] [INTERFACE | BACKEND | UNBUILT])
#   Declares the layer <name>: its code is the .cpp and .h files directly in <dir> (not in its
#   sub-folders), and it may include and call the layers it USES and, through them, the layers
#   they use. Creates the static library ostrel_<name>, to which the folder's own CMakeLists.txt
#   adds the sources, linked PUBLIC to the libraries of the layers it uses: a program then links
#   the layers top to bottom, each once, and needs no rescans.
#   INTERFACE  headers only: an INTERFACE library (the platform interface).
#   BACKEND    implements the platform interface: it may include its headers, but its library
#              links none of our layers.
#   UNBUILT    declared only (the backend of the other host).

function(ostrel_layer name)
  cmake_parse_arguments(L "INTERFACE;BACKEND;UNBUILT" "FOLDER" "USES" ${ARGN})
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
endfunction()
