# Fails when the committed fill source is not what the generator makes of the committed list.
# cmake -DPYTHON=... -DGENERATOR=... -DLIST=... -DCOMMITTED=... -DOUTPUT=... -P check_generated.cmake
execute_process(
  COMMAND ${PYTHON} ${GENERATOR} --list ${LIST} --output ${OUTPUT}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the generator failed on ${LIST}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${COMMITTED}
                RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "${COMMITTED} is out of date: run ${GENERATOR} and commit the result")
endif()
