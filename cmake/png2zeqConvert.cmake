# The build step of one image of png2zeq_add_images():
#
#   cmake -DCONVERTER=<png2zeq> -DOPTIONS=<option,...> -DPNG=<in.png> -DZEQ=<out.zeq>
#         -DLOADER_HEADER=<zeq_loader.h> [-DNAME=<PREFIX>_<ID> -DCONSTANTS=<header.h>]
#         -P png2zeqConvert.cmake
#
# Removes a stale <out.zeq> (so that a PNG the converter refuses leaves none),
# runs the converter, and with CONSTANTS writes <header.h> with <NAME>_SIZE,
# _WIDTH, _HEIGHT, _FORMAT and _RAW_LENGTH: integer constants (usable in #if,
# static initializers and array sizes) read from the converted file itself,
# from png2zeqConstants.h.in. The header is rewritten only when a value
# changes, so only then do the sources including it compile again. Needs
# nothing but CMake, and costs one CMake start per image, as `cmake -E rm`
# alone would.
cmake_minimum_required(VERSION 3.20)

file(REMOVE "${ZEQ}")
string(REPLACE "," ";" OPTIONS "${OPTIONS}")
execute_process(COMMAND "${CONVERTER}" ${OPTIONS} -output "${ZEQ}" "${PNG}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "png2zeq_add_images: the converter refused ${PNG} (${result}).")
elseif(NOT CONSTANTS)
  return()
endif()

# The header's layout, from the loader's header, where the format is written
# down: its size, the magic, and the order of its 32-bit fields.
file(READ "${LOADER_HEADER}" loader)
string(REGEX MATCH "#define ZEQ_HEADER_SIZE ([0-9]+)" found "${loader}")
set(header_size "${CMAKE_MATCH_1}")
string(REGEX MATCH "#define ZEQ_MAGIC 0x(..)(..)(..)(..)" found "${loader}")
string(TOLOWER "${CMAKE_MATCH_4}${CMAKE_MATCH_3}${CMAKE_MATCH_2}${CMAKE_MATCH_1}" magic)
string(REGEX MATCH "little-endian 32-bit[ \n*]+fields \\(([^)]*)\\)" found "${loader}")
string(REGEX REPLACE ",[ \n*]+" ";" fields "${CMAKE_MATCH_1}")
if(NOT header_size OR NOT magic OR NOT "width" IN_LIST fields)
  message(FATAL_ERROR "png2zeq_add_images: ${LOADER_HEADER} does not describe the header.")
endif()

file(SIZE "${ZEQ}" size)
file(READ "${ZEQ}" header LIMIT ${header_size} HEX)
string(LENGTH "${header}" length)
math(EXPR header_digits "${header_size} * 2")
if(NOT header MATCHES "^${magic}" OR length LESS header_digits)
  message(FATAL_ERROR "png2zeq_add_images: ${ZEQ} has no ZEQ header.")
endif()

# Gives, in <out_var>, the little-endian 32-bit field <name> of the header as
# 8 hexadecimal digits, most significant first.
function(field name out_var)
  list(FIND fields "${name}" index)
  math(EXPR at "${index} * 8")
  string(SUBSTRING "${header}" ${at} 8 bytes)
  string(REGEX REPLACE "^(..)(..)(..)(..)$" "\\4\\3\\2\\1" digits "${bytes}")
  set(${out_var} ${digits} PARENT_SCOPE)
endfunction()

field("pixel format" format)
field(width width)
field(height height)
field(rawLength raw_length)
string(SUBSTRING "${format}" 4 4 format)  # the codes have four digits
foreach(name IN ITEMS width height raw_length)
  math(EXPR ${name} "0x${${name}}")
endforeach()

configure_file("${CMAKE_CURRENT_LIST_DIR}/png2zeqConstants.h.in" "${CONSTANTS}" @ONLY)
