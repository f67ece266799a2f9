# Configures refusals/ in WORK, with ARGS, once per case: the CMake code, and the
# message expected after "png2zeq_add_images(<target>): " ("": accepted).
cmake_minimum_required(VERSION 3.20)
set(cases
  [[png2zeq_add_images(nosuch IMAGES ${img}/a.png)]] [[no target named nosuch]]
  [[png2zeq_add_images(app FOO IMAGES ${img}/a.png)]] [[unknown keyword "FOO"]]
  [[png2zeq_add_images(app IMAGES ${img}/a.png EMBEDD)]] [["EMBEDD" does not exist \(and it is not a keyword]]
  [[png2zeq_add_images(app IMAGES ${img}/missing.png)]] [["[^"]*/img/missing.png" does not exist]]
  [[png2zeq_add_images(app DEPTH 565)]] [[IMAGES is missing]]
  [[png2zeq_add_images(app IMAGES ${img}/a.png DEPTH 888)]] [[DEPTH "888" is not a depth]]
  [[png2zeq_add_images(app IMAGES ${img}/a.png DEPTH)]] [[DEPTH needs a value]]
  [[png2zeq_add_images(app IMAGES ${img}/a.png DITHER)]] [[DITHER needs DEPTH]]
  [[png2zeq_add_images(app IMAGES ${img}/a.png HEADER a.h)]] [[HEADER a.h needs EMBED]]
  [[png2zeq_add_images(app IMAGES ${img}/a.png EMBED SYMBOL_PREFIX 9lives)]] [[SYMBOL_PREFIX "9lives" is not]]
  [[png2zeq_add_images(app IMAGES ${img}/a.png WINDOW 8)]] [[WINDOW "8" is not a window]]
  [[png2zeq_add_images(app IMAGES ${img}/a.png MAX_BYTES 1k)]] [[MAX_BYTES "1k" is not a number of bytes]]
  [[png2zeq_add_images(app IMAGES ${img}/a.png MIN_PSNR high)]] [[MIN_PSNR "high" is not a number of decibels]]
  [[png2zeq_add_images(app IMAGES ${img}/a.png EMBED HEADER zeq.h)]]
  [[the header zeq.h of target app gives ZEQ_MAX_WIDTH, and the loader's header]]
  [[png2zeq_add_images(ut IMAGES ${img}/logo.png MANIFEST m.json)
    png2zeq_add_images(app IMAGES ${img}/a.png MANIFEST m.json)]]
  [[the MANIFEST of png2zeq_add_images\(app\) and the MANIFEST of png2zeq_add_images\(ut\) would both write]]
  [[png2zeq_add_images(app IMAGES "${img}/hash#1.png")]] [[/img/hash#1.png" contains one of # < > \| : \$\(]]
  [[png2zeq_add_images(app IMAGES "${img}/tab\tx.png")]] [[/img/tab.x.png" contains a control character]]
  [[png2zeq_add_images(app IMAGES "${img}/back\\slash.png")]] [[/img/back\\slash.png" contains a backslash]]
  [[png2zeq_add_images(app IMAGES ${img}/a.png ${img}/a_size.png EMBED)]]
  [[/a_size.png" of target app gives zeq_a_size, and "[^"]*/a.png" of target app gives zeq_a_size]]
  [[png2zeq_add_images(ui IMAGES ${img}/logo.png EMBED)
    png2zeq_add_images(app IMAGES ${img}/other/logo.png EMBED)]]
  [[/other/logo.png" of target app gives zeq_logo, and "[^"]*/img/logo.png" of target ui gives zeq_logo]]
  [[png2zeq_add_images(app IMAGES ${img}/logo.png ${img}/other/Logo.png EMBED)]]
  [[gives zeq_Logo, and "[^"]*/logo.png" of target app gives zeq_logo \(the macros are upper case]]
  [[png2zeq_add_images(app IMAGES ${img}/decode.png EMBED)]] [[gives zeq_decode, and the loader's header]]
  [[png2zeq_add_images(ut IMAGES ${img}/logo.png OUTPUT_DIR out)
    png2zeq_add_images(app IMAGES ${img}/other/logo.png OUTPUT_DIR out)]]
  [[/other/logo.png" of target app and "[^"]*/img/logo.png" of target ut would both be converted to]]
  [[png2zeq_add_images(ut IMAGES ${img}/logo.png)
    png2zeq_add_images(ui IMAGES ${img}/logo.png ${img}/decode.png EMBED SYMBOL_PREFIX ui)
    png2zeq_add_images(app IMAGES ${img}/other/logo.png EMBED)
    add_custom_target(fw-a)
    add_custom_target(fw_a)
    png2zeq_add_images(fw-a IMAGES ${img}/other/logo.png)
    png2zeq_add_images(fw_a IMAGES ${img}/other/logo.png)]] ""
)
while(cases)
  list(POP_FRONT cases code expected)
  file(WRITE "${WORK}/case.cmake" "${code}\n")
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${CMAKE_CURRENT_LIST_DIR}/refusals" -B "${WORK}" ${ARGS}
    -DCASE_FILE=${WORK}/case.cmake
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \n]+" " " message "${out}")
  if(expected STREQUAL "" AND result OR NOT expected STREQUAL "" AND
     NOT (result AND message MATCHES "CMake Error at [^\n]* png2zeq_add_images\\([a-z_-]+\\): [^\n]*${expected}"))
    string(APPEND failures "\n${code}\nexpected \"${expected}\", got (${result}):\n${out}\n")
  endif()
endwhile()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
