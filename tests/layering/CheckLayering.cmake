# Fails when a file of the kit includes a domain folder that does not come
# before its own in DOMAINS, names a kit header without its folder, or sits
# loose at the kit's top.
#   cmake -DKIT=<kit folder> -DDOMAINS="base;text;..." -P CheckLayering.cmake
# Folders listed together in one rank (joined with "+", e.g. "text+playback")
# may not include each other either.
if(NOT KIT OR NOT DOMAINS)
  message(FATAL_ERROR "usage: cmake -DKIT=DIR -DDOMAINS=a;b;c -P CheckLayering.cmake")
endif()

set(rank 0)
set(known "")
foreach(group ${DOMAINS})
  string(REPLACE "+" ";" members "${group}")
  foreach(domain ${members})
    set(rank_${domain} ${rank})
    list(APPEND known ${domain})
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/QuotedIncludes.cmake)

set(problems "")
file(GLOB loose LIST_DIRECTORIES false "${KIT}/*.h" "${KIT}/*.cpp")
foreach(file ${loose})
  string(APPEND problems "\n  ${file}: belongs in a domain folder")
endforeach()

foreach(domain ${known})
  file(GLOB_RECURSE sources "${KIT}/${domain}/*.h" "${KIT}/${domain}/*.cpp")
  foreach(file ${sources})
    quoted_includes("${file}" paths)
    foreach(path ${paths})
      if(NOT path MATCHES "/")
        if(NOT path MATCHES "^moc_|\\.moc$")
          string(APPEND problems "\n  ${file}: \"${path}\" is written without its folder")
        endif()
        continue()
      endif()
      string(REGEX REPLACE "/.*" "" target "${path}")
      if(NOT DEFINED rank_${target})
        string(APPEND problems "\n  ${file}: \"${path}\" is not in a domain folder of the kit")
      elseif(NOT target STREQUAL domain AND NOT rank_${target} LESS rank_${domain})
        string(APPEND problems
               "\n  ${file}: ${domain}/ may not include ${path} (${target}/ does not come before it)")
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "Includes against the kit's order:${problems}")
endif()
message(STATUS "The kit's includes keep their order (${rank} ranks).")
