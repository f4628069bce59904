# Fails when a file of a layer above the kit includes a layer it may not: the
# platform layer and the shared widgets include only the kit (and
# themselves), the app everything below it, and nothing below the app
# includes the app. Includes are written from the repository's root (or the
# kit's), so the first folder of a path names its layer.
#   cmake -DLAYER=<folder> -DALLOWED="base;text;...;Platform" [-DBARE=ON] [-DROOMS=ON] -P CheckOuterLayer.cmake
# BARE=ON lets a file include a header of its own folder by its name alone.
# ROOMS=ON (the app) also keeps its feature folders apart: a file in one
# includes its own folder and core/, core/ only itself, and only the files at
# the layer's top (the composition root) include every feature.
if(NOT LAYER OR NOT ALLOWED)
  message(FATAL_ERROR "usage: cmake -DLAYER=DIR -DALLOWED=a;b;c [-DBARE=ON] -P CheckOuterLayer.cmake")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/QuotedIncludes.cmake)

set(problems "")
file(GLOB_RECURSE sources "${LAYER}/*.h" "${LAYER}/*.cpp")
foreach(file ${sources})
  quoted_includes("${file}" paths)
  foreach(path ${paths})
    if(NOT path MATCHES "/")
      if(NOT BARE AND NOT path MATCHES "^moc_|\\.moc$")
        string(APPEND problems "\n  ${file}: \"${path}\" is not written from the repository's root")
      endif()
      continue()
    endif()
    string(REGEX REPLACE "/.*" "" target "${path}")
    list(FIND ALLOWED "${target}" at)
    if(at EQUAL -1)
      string(APPEND problems "\n  ${file}: may not include \"${path}\"")
    elseif(ROOMS)
      get_filename_component(layer_name "${LAYER}" NAME)
      file(RELATIVE_PATH inside "${LAYER}" "${file}")
      if(target STREQUAL layer_name AND inside MATCHES "/")
        string(REGEX REPLACE "/.*" "" room "${inside}")
        string(REGEX REPLACE "^[^/]*/([^/]*)/.*" "\\1" other "${path}")
        if(NOT other STREQUAL room AND NOT other STREQUAL "core")
          string(APPEND problems "\n  ${file}: the ${room} room may not include \"${path}\"")
        endif()
      endif()
    endif()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "Includes across the layers:${problems}")
endif()
message(STATUS "${LAYER}: includes only what lies below it.")
