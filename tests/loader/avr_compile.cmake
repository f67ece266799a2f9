# Compiles the loader for an 8-bit AVR (16-bit int and size_t) with the
# warnings that catch narrowed lengths, with and without ZEQ_NO_STATUS_TEXT:
# any warning fails. zlib's headers come from Debian's zlib sources, fetched
# by FETCH. Prints "Skipped: ..." without avr-gcc.
find_program(avr_gcc avr-gcc)
if(NOT avr_gcc)
  message("Skipped: avr-gcc is missing (PNG2ZEQ_WITH_DEVICE=1 scripts/install-deps.sh installs it)")
  return()
endif()
execute_process(COMMAND "${FETCH}" zlib OUTPUT_VARIABLE zlib OUTPUT_STRIP_TRAILING_WHITESPACE)
foreach(define ZEQ_WITH_STATUS_TEXT ZEQ_NO_STATUS_TEXT)
  execute_process(COMMAND "${avr_gcc}" -std=c99 -Wall -Wextra -Wpedantic -Wconversion
    -mmcu=atmega1284p -Os -D${define} "-I${zlib}" -c "${SOURCE}/loader/zeq_loader.c" -o /dev/null
    RESULT_VARIABLE failed ERROR_VARIABLE warnings)
  if(failed OR warnings)
    message(FATAL_ERROR "avr-gcc -D${define}:\n${warnings}")
  endif()
endforeach()
