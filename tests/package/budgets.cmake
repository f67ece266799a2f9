# Builds budgets/ in WORK with ARGS once per case: the calls, and the message
# expected after "png2zeq_add_images(app): " ("": it builds). A missed budget
# fails again when built again (no output left that looks good); a case that
# builds is built in two directories, whose manifests must be the same bytes.
cmake_minimum_required(VERSION 3.20)
include(${CMAKE_CURRENT_LIST_DIR}/run.cmake)
set(calls [[png2zeq_add_images(app IMAGES ${IMG}/logo.png DEPTH 565 DITHER WINDOW 10 EMBED]])
set(cases
  "${calls} MANIFEST m.json MAX_BYTES 9999 MAX_TOTAL_BYTES 9999 MAX_STREAM_RAM 9999 MIN_PSNR 30)
   png2zeq_add_images(app IMAGES \${IMG}/gauge.png UNCOMPRESSED EMBED MANIFEST m2.json MAX_STREAM_RAM 1 MIN_PSNR 99)" ""
  "${calls} MAX_BYTES 99)" [[logo.png: MAX_BYTES 99 exceeded: the ZEQ file has [0-9]+ bytes]]
  "${calls} MAX_STREAM_RAM 999)" [[logo.png: MAX_STREAM_RAM 999 exceeded: streaming needs [0-9]+ bytes]]
  "${calls} MIN_PSNR 99)" [[logo.png: MIN_PSNR 99 not reached: the PSNR is [0-9.]+ dB]]
  "${calls} MANIFEST m.json MAX_TOTAL_BYTES 99)
   png2zeq_add_images(app IMAGES \${IMG}/gauge.png EMBED)" [[logo.png: MAX_TOTAL_BYTES 99 exceeded: the call's]])
while(cases)
  list(POP_FRONT cases code expected)
  file(WRITE "${WORK}/case.cmake" "${code}\n")
  file(REMOVE_RECURSE "${WORK}/1" "${WORK}/2")
  foreach(build IN ITEMS 1 1 2)
    if(NOT EXISTS "${WORK}/${build}")
      run("${CMAKE_COMMAND}" -S "${CMAKE_CURRENT_LIST_DIR}/budgets" -B "${WORK}/${build}" ${ARGS}
        -DCASE_FILE=${WORK}/case.cmake -DIMG=${CMAKE_CURRENT_LIST_DIR}/../../examples/firmware/images)
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" --build "${WORK}/${build}" RESULT_VARIABLE result
      OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(expected STREQUAL "" AND result OR NOT expected STREQUAL "" AND
       NOT (result AND out MATCHES "png2zeq_add_images\\(app\\): [^\n]*/${expected}"))
      string(APPEND failures "\n${code}\nbuild ${build}: expected \"${expected}\", got (${result}):\n${out}\n")
    endif()
  endforeach()
  if(expected STREQUAL "")
    file(READ "${WORK}/1/m.json" first)
    file(READ "${WORK}/2/m.json" second)
    if(NOT first STREQUAL second OR first MATCHES "${WORK}|\"window_bits\": [^1]")
      string(APPEND failures "\nManifests differ, or name an absolute path or a wrong window:\n${first}\n${second}")
    endif()
  endif()
endwhile()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
