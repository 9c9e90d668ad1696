# Link checks of the layers. A static library's link line is never checked by
# the linker on its own, so each layer is also linked, whole, into a shared
# library that may leave no symbol undefined: a call from a layer into one
# above it (or into a library it does not name) fails the build there.
# Fuzz builds skip it: clang's static sanitizer runtimes leave their symbols to
# the executable.

# A shared library of ours must find every symbol in what it links.
function(qm_no_undefined target)
  if(NOT QM_FUZZ)
    target_link_options(${target} PRIVATE LINKER:--no-undefined)
  endif()
endfunction()

function(qm_layer_link_check target)
  if(QM_FUZZ)
    return()
  endif()
  set(source ${CMAKE_BINARY_DIR}/generated/layer_link_check.cpp)
  if(NOT EXISTS ${source})
    file(WRITE ${source} "// Empty: a layer's link check takes its objects from the layer's archive.\n")
  endif()
  add_library(${target}_link_check SHARED ${source})
  target_link_libraries(${target}_link_check PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${target}>")
  qm_no_undefined(${target}_link_check)
endfunction()
