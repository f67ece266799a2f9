# run(<command>...): runs a command, stops the test with its output if it
# fails, and otherwise gives that output in `out`.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(result)
    message(FATAL_ERROR "${ARGN}\nfailed (${result}):\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()
