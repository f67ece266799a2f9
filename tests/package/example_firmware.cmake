# Builds the example firmware against the installed package, runs it, and
# checks that every framebuffer it wrote shows exactly what zeq2png shows.
# Takes SOURCE, WORK, PREFIX and ARGS (extra configure arguments).
file(REMOVE_RECURSE "${WORK}")
include(${CMAKE_CURRENT_LIST_DIR}/run.cmake)

run("${CMAKE_COMMAND}" -S "${SOURCE}" -B "${WORK}/build" ${ARGS})
run("${CMAKE_COMMAND}" --build "${WORK}/build")
run("${WORK}/build/firmware" "${WORK}")
foreach(name logo "2nd icon" gauge)
  run("${PREFIX}/bin/zeq2png" -compare "${WORK}/${name}.png" -output "${WORK}/${name}.preview.png"
    "${WORK}/build/png2zeq/firmware/${name}.zeq")
  if(NOT out MATCHES "Identical")
    message(FATAL_ERROR "${name}: the firmware's framebuffer differs from zeq2png's preview:\n${out}")
  endif()
endforeach()
