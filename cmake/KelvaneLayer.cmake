# SPDX-License-Identifier: MIT
# kelvane_add_layer(<target> <folder> [NESTED] [PUBLIC deps...] [PRIVATE deps...])
# A layer library made of every *.cpp in <folder>; with NESTED, of its
# subfolders too (a layer split into feature folders). A folder without
# sources yet becomes an interface target, so layers can grow file by file
# without touching the build.
function(kelvane_add_layer target folder)
  cmake_parse_arguments(ARG "NESTED" "" "PUBLIC;PRIVATE" ${ARGN})
  if(ARG_NESTED)
    set(glob GLOB_RECURSE)
  else()
    set(glob GLOB)
  endif()
  file(${glob} sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    # Headers are listed too, so that the moc step sees a new QObject header
    # as soon as the folder is globbed again, not only after a clean build.
    file(${glob} headers CONFIGURE_DEPENDS ${folder}/*.h)
    add_library(${target} STATIC ${sources} ${headers})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(${target} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(${target} INTERFACE ${ARG_PUBLIC} ${ARG_PRIVATE})
  endif()
endfunction()
