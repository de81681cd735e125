# Warnings on and clean for every target of ours.
function(quorvet_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  endif()
  quorvet_unity(${target})
endfunction()

# A library's sources are compiled a few at a time as one unit: the headers
# they share (Qt's, the standard library's) are read once per batch, which
# saves about a fifth of every build's time. Names private to a source file
# must therefore differ between the files of one library. QUORVET_UNITY=OFF
# compiles each file alone.
option(QUORVET_UNITY "Compile each library's sources in batches" ON)
function(quorvet_unity target)
  get_target_property(type ${target} TYPE)
  if(QUORVET_UNITY AND type STREQUAL "STATIC_LIBRARY")
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON)
  endif()
endfunction()
