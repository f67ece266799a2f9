# Compiles the loader's files for an 8-bit AVR (16-bit int and size_t) with
# its own inflater, no zlib, and the warnings that catch narrowed lengths,
# with and without ZEQ_NO_STATUS_TEXT: any warning fails. Prints
# "Skipped: ..." without avr-gcc.
find_program(avr_gcc avr-gcc)
if(NOT avr_gcc)
  message("Skipped: avr-gcc is missing (PNG2ZEQ_WITH_DEVICE=1 scripts/install-deps.sh installs it)")
  return()
endif()
file(GLOB sources "${SOURCE}/loader/*.c")
foreach(define ZEQ_WITH_STATUS_TEXT ZEQ_NO_STATUS_TEXT)
  foreach(source IN LISTS sources)
    execute_process(COMMAND "${avr_gcc}" -std=c99 -Wall -Wextra -Wpedantic -Wconversion
      -mmcu=atmega1284p -Os -D${define} -c "${source}" -o /dev/null
      RESULT_VARIABLE failed ERROR_VARIABLE warnings)
    if(failed OR warnings)
      message(FATAL_ERROR "avr-gcc -D${define} ${source}:\n${warnings}")
    endif()
  endforeach()
endforeach()
