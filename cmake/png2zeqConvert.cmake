# The build step of one image of png2zeq_add_images():
#
#   cmake -DCONVERTER=<png2zeq> -DOPTIONS=<option,...> -DPNG=<in.png> -DZEQ=<out.zeq>
#         -DLOADER_HEADER=<zeq_loader.h> -DFACTS=<facts.cmake> -DCALL=<png2zeq_add_images(target)>
#         [-DINFLATER=OWN|ZLIB]
#         [-DNAME=<PREFIX>_<ID> -DCONSTANTS=<header.h>]
#         [-DMAX_BYTES=<n>] [-DMAX_STREAM_RAM=<n>] [-DMIN_PSNR=<dB> -DZEQ2PNG=<zeq2png>]
#         -P png2zeqConvert.cmake
#
# Removes a stale <out.zeq>, runs the converter, reads the figures of the
# converted file and checks them against the budgets; a refused PNG or a
# missed budget leaves no output that a later build would take as good. Then
# writes FACTS, the figures as CMake variables for the call's manifest, and
# with CONSTANTS the header <header.h> from
# png2zeqConstants.h.in: <NAME>_SIZE, _WIDTH, _HEIGHT, _FORMAT, _RAW_LENGTH
# and _WINDOW_BITS, integer constants usable in #if, static initializers and
# array sizes. Both are rewritten only when a value changes, so only then do
# the sources including the header compile again and the manifest change.
# Needs nothing but CMake, and costs one CMake start per image, as
# `cmake -E rm` alone would.
cmake_minimum_required(VERSION 3.20)

file(REMOVE "${ZEQ}")
string(REPLACE "," ";" OPTIONS "${OPTIONS}")
execute_process(COMMAND "${CONVERTER}" ${OPTIONS} -output "${ZEQ}" "${PNG}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "png2zeq_add_images: the converter refused ${PNG} (${result}).")
endif()

# Stops the build with one line naming the call, the image, the budget and
# the figure, removing the image's outputs first.
function(refuse text)
  file(REMOVE "${ZEQ}" "${FACTS}")
  if(CONSTANTS)
    file(REMOVE "${CONSTANTS}")
  endif()
  # The leading space keeps CMake from wrapping the line.
  message(FATAL_ERROR " ${CALL}: ${PNG}: ${text}")
endfunction()

# The format's facts, from the loader's header where they are written down:
# the header's size and magic, the order of its 32-bit fields, and the
# workspace bounds of the inflater that the target's loader uses (INFLATER:
# OWN, the default, or ZLIB).
file(READ "${LOADER_HEADER}" loader)
if(NOT INFLATER)
  set(INFLATER OWN)
endif()
foreach(fact IN ITEMS HEADER_SIZE ${INFLATER}_STREAM_WORKSPACE_OVERHEAD ${INFLATER}_DECODE_WORKSPACE_BOUND)
  string(REGEX MATCH "#define ZEQ_${fact} ([0-9]+)" found "${loader}")
  set(value "${CMAKE_MATCH_1}")
  string(REGEX REPLACE "^${INFLATER}_" "" fact "${fact}")
  string(TOLOWER "${fact}" variable)
  set(${variable} "${value}")
endforeach()
string(REGEX MATCH "#define ZEQ_MAGIC 0x(..)(..)(..)(..)" found "${loader}")
string(TOLOWER "${CMAKE_MATCH_4}${CMAKE_MATCH_3}${CMAKE_MATCH_2}${CMAKE_MATCH_1}" magic)
string(REGEX MATCH "little-endian 32-bit[ \n*]+fields \\(([^)]*)\\)" found "${loader}")
string(REGEX REPLACE ",[ \n*]+" ";" fields "${CMAKE_MATCH_1}")
if(NOT header_size OR NOT stream_workspace_overhead OR NOT decode_workspace_bound OR NOT magic
   OR NOT "compressedLength" IN_LIST fields)
  message(FATAL_ERROR "png2zeq_add_images: ${LOADER_HEADER} does not describe the format.")
endif()

# The header and the zlib header's first byte (CMF) after it.
file(SIZE "${ZEQ}" size)
math(EXPR length "${header_size} + 1")
file(READ "${ZEQ}" header LIMIT ${length} HEX)
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
field(compressedLength compressed_length)
string(SUBSTRING "${format}" 4 4 format)  # the codes have four digits
foreach(name IN ITEMS width height raw_length compressed_length)
  math(EXPR ${name} "0x${${name}}")
endforeach()
# The window: CMF's high four bits plus 8 (raw pixels need none).
set(window_bits 0)
set(stream_workspace 0)
set(decode_workspace 0)
if(compressed_length GREATER 0)
  string(SUBSTRING "${header}" ${header_digits} 1 cinfo)
  math(EXPR window_bits "0x${cinfo} + 8")
  math(EXPR stream_workspace "${stream_workspace_overhead} + (1 << ${window_bits})")
  set(decode_workspace ${decode_workspace_bound})
endif()

# The budgets, and the PSNR that zeq2png -compare reports ("inf": lossless).
if(DEFINED MAX_BYTES AND size GREATER MAX_BYTES)
  refuse("MAX_BYTES ${MAX_BYTES} exceeded: the ZEQ file has ${size} bytes.")
endif()
if(DEFINED MAX_STREAM_RAM AND stream_workspace GREATER MAX_STREAM_RAM)
  refuse("MAX_STREAM_RAM ${MAX_STREAM_RAM} exceeded: streaming needs ${stream_workspace} bytes "
    "(ZEQ_STREAM_WORKSPACE_BOUND(${window_bits})).")
endif()
set(psnr "")
if(DEFINED MIN_PSNR)
  get_filename_component(facts_dir "${FACTS}" DIRECTORY)
  file(MAKE_DIRECTORY "${facts_dir}")
  execute_process(COMMAND "${ZEQ2PNG}" -compare "${PNG}" -output "${FACTS}.preview.png" "${ZEQ}"
    RESULT_VARIABLE result OUTPUT_VARIABLE comparison)
  file(REMOVE "${FACTS}.preview.png")
  if(NOT result EQUAL 0 OR NOT comparison MATCHES "\nall +([0-9.]+|inf) ")
    refuse("zeq2png -compare failed (${result}).")
  endif()
  set(psnr "${CMAKE_MATCH_1}")
  if(NOT psnr STREQUAL "inf" AND psnr LESS MIN_PSNR)
    refuse("MIN_PSNR ${MIN_PSNR} not reached: the PSNR is ${psnr} dB.")
  endif()
endif()

file(SHA256 "${PNG}" png_sha256)
file(CONFIGURE OUTPUT "${FACTS}" @ONLY CONTENT [[
set(png_sha256 @png_sha256@)
set(size @size@)
set(width @width@)
set(height @height@)
set(format 0x@format@)
set(raw_length @raw_length@)
set(window_bits @window_bits@)
set(stream_workspace @stream_workspace@)
set(decode_workspace @decode_workspace@)
set(psnr "@psnr@")
]])
if(CONSTANTS)
  configure_file("${CMAKE_CURRENT_LIST_DIR}/png2zeqConstants.h.in" "${CONSTANTS}" @ONLY)
endif()
