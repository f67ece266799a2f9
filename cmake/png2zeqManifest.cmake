# The build step over all images of one png2zeq_add_images() call, after
# their conversion steps:
#
#   cmake -DCALL=<png2zeq_add_images(target)> -DIMAGES_FILE=<call.images> -DSTAMP=<stamp>
#         [-DMAX_TOTAL_BYTES=<n>] [-DMANIFEST=<file.json>] -P png2zeqManifest.cmake
#
# IMAGES_FILE holds the call's converter options (comma-separated) on its
# first line, then per image its PNG and ZEQ paths as the manifest names them
# and the facts file its conversion step wrote, separated by tabs.
#
# Checks that the images together stay within MAX_TOTAL_BYTES, and writes
# MANIFEST: per image, sorted by PNG path, its figures; then the totals. The
# JSON holds no timestamp and no absolute path, so the same inputs give the
# same bytes on every build and host; it is rewritten only when it changes.
# STAMP, touched last, tells the build that the step succeeded; a missed
# budget leaves neither it nor the manifest.
cmake_minimum_required(VERSION 3.20)

file(REMOVE "${STAMP}")
file(STRINGS "${IMAGES_FILE}" images)
list(POP_FRONT images options)
list(SORT images)
# Gives <text> as a JSON string (control characters and backslashes cannot
# occur in the names png2zeq_add_images() accepts).
function(json_string text out_var)
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out_var} "\"${text}\"" PARENT_SCOPE)
endfunction()

set(option_strings "")
string(REPLACE "," ";" options "${options}")
foreach(option IN LISTS options)
  json_string("${option}" option)
  list(APPEND option_strings "${option}")
endforeach()
list(JOIN option_strings ", " option_strings)

set(entries "")
set(total_size 0)
set(total_raw_length 0)
set(max_stream_workspace 0)
set(max_decode_workspace 0)
set(largest 0)
foreach(image IN LISTS images)
  string(REPLACE "\t" ";" image "${image}")
  list(GET image 0 png)
  list(GET image 1 zeq)
  list(GET image 2 facts)
  include("${facts}")
  math(EXPR total_size "${total_size} + ${size}")
  math(EXPR total_raw_length "${total_raw_length} + ${raw_length}")
  foreach(figure IN ITEMS stream_workspace decode_workspace)
    if(${figure} GREATER max_${figure})
      set(max_${figure} ${${figure}})
    endif()
  endforeach()
  if(size GREATER largest)
    set(largest ${size})
    set(largest_png "${png}")
  endif()
  json_string("${png}" png)
  json_string("${zeq}" zeq)
  set(psnr_entry "")
  if(NOT psnr STREQUAL "")
    if(psnr STREQUAL "inf")
      set(psnr "\"inf\"")
    endif()
    set(psnr_entry "      \"psnr\": ${psnr},\n")
  endif()
  list(APPEND entries "    {
      \"decode_workspace_bound\": ${decode_workspace},
      \"format\": \"${format}\",
      \"height\": ${height},
      \"options\": [${option_strings}],
      \"png\": ${png},
      \"png_sha256\": \"${png_sha256}\",
${psnr_entry}      \"raw_length\": ${raw_length},
      \"size\": ${size},
      \"stream_workspace_bound\": ${stream_workspace},
      \"width\": ${width},
      \"window_bits\": ${window_bits},
      \"zeq\": ${zeq}
    }")
endforeach()

if(DEFINED MAX_TOTAL_BYTES AND total_size GREATER MAX_TOTAL_BYTES)
  if(DEFINED MANIFEST)
    file(REMOVE "${MANIFEST}")
  endif()
  # The leading space keeps CMake from wrapping the line.
  message(FATAL_ERROR " ${CALL}: ${largest_png}: MAX_TOTAL_BYTES ${MAX_TOTAL_BYTES} exceeded: "
    "the call's images come to ${total_size} bytes, this one, the largest, to ${largest}.")
endif()

if(DEFINED MANIFEST)
  list(LENGTH images count)
  list(JOIN entries ",\n" entries)
  file(CONFIGURE OUTPUT "${MANIFEST}" @ONLY CONTENT [[
{
  "images": [
@entries@
  ],
  "totals": {
    "images": @count@,
    "max_decode_workspace_bound": @max_decode_workspace@,
    "max_stream_workspace_bound": @max_stream_workspace@,
    "raw_length": @total_raw_length@,
    "size": @total_size@
  }
}
]])
endif()
file(TOUCH "${STAMP}")
