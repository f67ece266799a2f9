# The Arduino library on an ATmega2560 (8 KB of SRAM): makes the release zip
# (scripts/make-loader-zip.sh) and checks that it holds what
# library.properties needs; checks that the ZeqPanel example's image.h is
# what scripts/make-arduino-image.sh makes with this build's png2zeq
# (CONVERTER); builds the example from the unpacked zip with Debian's
# arduino-builder, runs it under simavr and compares its line with the host
# loader's (HOST, arduino_crc32.cpp). Prints the example's flash, data + bss
# and stack. Prints "Skipped: ..." without arduino-builder or simavr.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/libraries")
# Runs the command in WORK, leaving its output in `out`; stops the test when it fails.
function(must)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK}" OUTPUT_VARIABLE out TIMEOUT 120
    COMMAND_ERROR_IS_FATAL ANY)
  set(out "${out}" PARENT_SCOPE)
endfunction()

must(bash "${SOURCE}/scripts/make-loader-zip.sh" "${WORK}")
string(STRIP "${out}" zip)
must("${CMAKE_COMMAND}" -E chdir libraries "${CMAKE_COMMAND}" -E tar xf "${zip}")
set(library "${WORK}/libraries/png2zeq-loader")
set(example "${library}/examples/ZeqPanel")
foreach(file library.properties LICENSE zeq_loader.h examples/ZeqPanel/ZeqPanel.ino)
  if(NOT EXISTS "${library}/${file}")
    message(FATAL_ERROR "${zip} lacks ${file}")
  endif()
endforeach()
must(bash "${SOURCE}/scripts/make-arduino-image.sh" "${CONVERTER}" "${example}/panel.png" image.h)
file(READ "${WORK}/image.h" made)
file(READ "${example}/image.h" kept)
if(NOT made STREQUAL kept)
  message(FATAL_ERROR "image.h is not what make-arduino-image.sh makes of panel.png")
endif()

find_program(builder arduino-builder)
find_program(simavr simavr)
find_program(avr_size avr-size)
if(NOT builder OR NOT simavr OR NOT avr_size)
  message("Skipped: arduino-builder or simavr is missing "
    "(PNG2ZEQ_WITH_DEVICE=1 scripts/install-deps.sh installs them)")
  return()
endif()
# Debian's AVR core compiles only with DECIMAL_DIG defined.
must("${builder}" -compile -fqbn arduino:avr:mega:cpu=atmega2560
  -hardware /usr/share/arduino/hardware -hardware /usr/share/arduino-builder
  -tools /usr/share/arduino/hardware -prefs=compiler.cpp.extra_flags=-DDECIMAL_DIG=17
  -libraries libraries -build-path "${WORK}" "${example}/ZeqPanel.ino")
must("${avr_size}" ZeqPanel.ino.elf)
string(REGEX MATCH "\n *([0-9]+)[ \t]+([0-9]+)[ \t]+([0-9]+)" _ "${out}")
math(EXPR flash "${CMAKE_MATCH_1} + ${CMAKE_MATCH_2}")
math(EXPR ram "${CMAKE_MATCH_2} + ${CMAKE_MATCH_3}")
# simavr writes the serial port to its standard error, in colour.
execute_process(COMMAND "${simavr}" -m atmega2560 -f 16000000 "${WORK}/ZeqPanel.ino.elf"
  OUTPUT_QUIET ERROR_VARIABLE device TIMEOUT 60)
string(ASCII 27 escape)
string(REGEX REPLACE "${escape}\\[[0-9;]*m" "" device "${device}")
must("${HOST}")
string(STRIP "${out}" host)
string(FIND "${device}" "${host}" at)
string(REGEX MATCH "OK[^a-z]*stack ([0-9]+)" stack "${device}")
if(at EQUAL -1 OR NOT stack)
  message(FATAL_ERROR "The ATmega2560 printed:\n${device}\nThe host prints:\n${host}")
endif()
message("${host} on the ATmega2560: flash ${flash} B, data + bss ${ram} B, stack ${CMAKE_MATCH_1} B")
