# Checks every #include "..." of every layer's files against the declared layer graph.
#
#   cmake -DGRAPH=<graph.cmake> -DROOT=<source dir> [-DSTAMP=<file>] -P check_layer_includes.cmake
#
# GRAPH sets OSTREL_LAYERS (the layer names), OSTREL_LAYER_<name>_FOLDER (its folder, relative
# to ROOT) and OSTREL_LAYER_<name>_USES (the layers it uses directly). A file of a layer may
# include headers of its own layer and of every layer below it (the layers it uses, and theirs,
# and so on); a header is a layer's when its path starts with that layer's folder (the longest
# such folder wins, so platform/sdl/ is the sdl backend's and platform/ the interface's). System
# headers (<...>) are not checked. Every violation is reported as file:line; then the check
# fails. On success it touches STAMP.

cmake_minimum_required(VERSION 3.25)

if(NOT GRAPH OR NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DGRAPH=<graph.cmake> -DROOT=<dir> [-DSTAMP=<file>] -P ${CMAKE_CURRENT_LIST_FILE}")
endif()
include(${GRAPH})
get_filename_component(ROOT "${ROOT}" ABSOLUTE)

# Every layer a layer may include: itself and, transitively, the layers it uses.
foreach(layer IN LISTS OSTREL_LAYERS)
  set(allowed ${layer})
  set(pending ${OSTREL_LAYER_${layer}_USES})
  while(pending)
    list(POP_FRONT pending next)
    if(NOT next IN_LIST OSTREL_LAYERS)
      message(FATAL_ERROR "layer ${layer} uses ${next}, which is not a declared layer")
    endif()
    if(NOT next IN_LIST allowed)
      list(APPEND allowed ${next})
      list(APPEND pending ${OSTREL_LAYER_${next}_USES})
    endif()
  endwhile()
  set(allowed_${layer} ${allowed})
endforeach()

# The layer whose folder holds the header at this path (relative to ROOT), or "" for none.
function(layer_of path out)
  set(found "")
  set(found_length 0)
  foreach(layer IN LISTS OSTREL_LAYERS)
    set(folder "${OSTREL_LAYER_${layer}_FOLDER}/")
    string(LENGTH "${folder}" length)
    string(FIND "${path}" "${folder}" at)
    if(at EQUAL 0 AND length GREATER found_length)
      # Only files directly in the folder: a deeper path belongs to a sub-folder's layer.
      string(SUBSTRING "${path}" ${length} -1 name)
      if(NOT name MATCHES "/")
        set(found ${layer})
        set(found_length ${length})
      endif()
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(violations "")
set(checked 0)
foreach(layer IN LISTS OSTREL_LAYERS)
  set(folder ${OSTREL_LAYER_${layer}_FOLDER})
  file(GLOB files RELATIVE ${ROOT} ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h)
  list(SORT files)
  foreach(file IN LISTS files)
    math(EXPR checked "${checked} + 1")
    file(READ ${ROOT}/${file} content)
    # A leading newline lets every include line, the first one too, start with one.
    set(rest "\n${content}")
    set(line 0)
    string(REGEX MATCHALL "\n[ \t]*#[ \t]*include[ \t]*\"[^\"\n]*\"" includes "${rest}")
    foreach(include IN LISTS includes)
      # The include's line number: the newlines before it, and its own leading one.
      string(FIND "${rest}" "${include}" at)
      string(SUBSTRING "${rest}" 0 ${at} before)
      string(REGEX MATCHALL "\n" newlines "${before}")
      list(LENGTH newlines count)
      math(EXPR line "${line} + ${count} + 1")
      string(LENGTH "${include}" length)
      math(EXPR after "${at} + ${length}")
      string(SUBSTRING "${rest}" ${after} -1 rest)

      string(REGEX REPLACE ".*\"([^\"]*)\"$" "\\1" path "${include}")
      layer_of("${path}" target)
      if(target STREQUAL "")
        string(APPEND violations "${file}:${line}: includes \"${path}\", which is no layer's header\n")
      elseif(NOT target IN_LIST allowed_${layer})
        list(JOIN allowed_${layer} ", " may)
        string(APPEND violations "${file}:${line}: includes \"${path}\" of layer ${target}, which layer ${layer} does not use (it may include ${may})\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  # One unwrapped line per violation, file:line first, as a compiler reports an error.
  string(REGEX REPLACE "\n$" "" violations "${violations}")
  message(NOTICE "${violations}")
  message(FATAL_ERROR "includes against the direction of the layers (cmake/OstrelLayers.cmake)")
endif()
if(checked EQUAL 0)
  message(FATAL_ERROR "no layer files found under ${ROOT}")
endif()
if(STAMP)
  file(TOUCH ${STAMP})
endif()
