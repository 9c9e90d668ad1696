# cmake -DSRC= -DSTAGE= -DCONFIGURED= -DOUT= -P PackSkin.cmake
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY ${SRC}/ DESTINATION ${STAGE} PATTERN CMakeLists.txt EXCLUDE)
file(COPY_FILE ${CONFIGURED} ${STAGE}/configure/configure.xml)
file(GLOB_RECURSE files RELATIVE ${STAGE} ${STAGE}/*)
list(SORT files)
file(REMOVE ${OUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT} --format=zip --mtime=2026-01-01 -- ${files}
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not pack the skin archive")
endif()
