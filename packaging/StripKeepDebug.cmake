# Runs at install time (cmake --install and CPack): strips each installed ELF
# file and keeps its debug information beside the build as
# debug/.build-id/xx/rest.debug, which is where lldb and gdb look it up by the
# GNU build-id that crash dumps carry; a .gnu_debuglink names it as well.
foreach(rel IN LISTS QM_STRIP_FILES)
  set(file "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${rel}")
  execute_process(COMMAND readelf -n "${file}" OUTPUT_VARIABLE notes)
  string(REGEX MATCH "Build ID: ([0-9a-f]+)" _ "${notes}")
  set(id "${CMAKE_MATCH_1}")
  if(NOT id)
    message(FATAL_ERROR "no GNU build-id in ${file}")
  endif()
  string(SUBSTRING "${id}" 0 2 head)
  string(SUBSTRING "${id}" 2 -1 tail)
  set(dbg "${QM_DEBUG_DIR}/.build-id/${head}/${tail}.debug")
  file(MAKE_DIRECTORY "${QM_DEBUG_DIR}/.build-id/${head}")
  execute_process(COMMAND objcopy --only-keep-debug --compress-debug-sections "${file}" "${dbg}" COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND strip --strip-unneeded --remove-section=.comment --remove-section=.note "${file}" COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND objcopy --add-gnu-debuglink=${dbg} "${file}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
