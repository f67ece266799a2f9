# Configures a project with two images of one symbol name and checks that it
# fails naming both files. Takes SOURCE, WORK and ARGS.
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${CMAKE_COMMAND}" -S "${SOURCE}" -B "${WORK}" ${ARGS}
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
string(REGEX REPLACE "[ \n]+" " " message "${out}")
if(NOT result OR NOT message MATCHES "other/battery low.png\" and \"[^\"]*/icons/battery-low.png\" both give the symbol zeq_battery_low")
  message(FATAL_ERROR "expected a configure error naming both images, got (${result}):\n${out}")
endif()
