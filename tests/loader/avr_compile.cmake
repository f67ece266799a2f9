# Compiles the loader for an 8-bit AVR (16-bit int and size_t) with every
# warning avr-gcc has for it, with and without ZEQ_NO_STATUS_TEXT: any
# warning fails. zlib's headers are Debian's zlib sources, fetched by FETCH.
# Prints the sections' sizes; "Skipped: ..." without avr-gcc.
find_program(avr_gcc avr-gcc)
find_program(avr_size avr-size)
if(NOT avr_gcc OR NOT avr_size)
  message("Skipped: avr-gcc is missing (PNG2ZEQ_WITH_DEVICE=1 scripts/install-deps.sh installs it)")
  return()
endif()
execute_process(COMMAND "${FETCH}" zlib OUTPUT_VARIABLE zlib OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "Fetching zlib's sources failed")
endif()
foreach(define ZEQ_WITH_STATUS_TEXT ZEQ_NO_STATUS_TEXT)
  execute_process(COMMAND "${avr_gcc}" -std=c99 -Wall -Wextra -Wpedantic -Wconversion
      -mmcu=atmega1284p -Os -D${define} "-I${zlib}" -c "${SOURCE}/loader/zeq_loader.c"
      -o "${WORK}/${define}.o"
    RESULT_VARIABLE failed ERROR_VARIABLE warnings)
  if(failed OR warnings)
    message(FATAL_ERROR "avr-gcc -D${define}:\n${warnings}")
  endif()
  execute_process(COMMAND "${avr_size}" -A "${WORK}/${define}.o")
endforeach()
