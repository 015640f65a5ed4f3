# Fails when a committed generated source is not what its generator makes of the committed data.
# INPUTS is the generator's one input option, written as --option=path.
# cmake -DPYTHON=... -DGENERATOR=... -DINPUTS=... -DCOMMITTED=... -DOUTPUT=... -P check_generated.cmake
execute_process(
  COMMAND ${PYTHON} ${GENERATOR} ${INPUTS} --output ${OUTPUT}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the generator failed on ${INPUTS}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${COMMITTED}
                RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "${COMMITTED} is out of date: run ${GENERATOR} and commit the result")
endif()
