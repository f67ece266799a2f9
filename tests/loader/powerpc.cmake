# The loader on a big-endian CPU: builds loader_checksums.cpp with the loader,
# with its own inflater (without and with its fast loop) and once on zlib's inflate (Debian's zlib sources,
# fetched by FETCH), for 32-bit
# PowerPC, runs it under qemu-ppc on images converted by the host's png2zeq
# (CONVERTER) and checks that it prints what the host's build (CHECKSUMS)
# prints. Prints "Skipped: ..." without the tools.
find_program(ppc_gcc powerpc-linux-gnu-gcc)
find_program(ppc_gxx powerpc-linux-gnu-g++)
find_program(qemu qemu-ppc)
if(NOT ppc_gcc OR NOT ppc_gxx OR NOT qemu)
  message("Skipped: powerpc-linux-gnu-g++ or qemu-ppc is missing "
    "(PNG2ZEQ_WITH_DEVICE=1 scripts/install-deps.sh installs them)")
  return()
endif()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
# Runs the command in WORK, leaving its output in `out`; stops the test when it fails.
function(must)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK}" OUTPUT_VARIABLE out
    COMMAND_ERROR_IS_FATAL ANY)
  set(out "${out}" PARENT_SCOPE)
endfunction()

must("${FETCH}" zlib)
string(STRIP "${out}" zlib)
# RGB888, RGBA8888, RGB565 and RGBA5658, compressed and raw.
foreach(image panel badge)
  foreach(options "" "-depth;565" "-uncompressed" "-depth;565;-uncompressed")
    string(REPLACE ";" "" name "${image}${options}")
    must("${CONVERTER}" ${options} -output ${name}.zeq
      "${SOURCE}/examples/cortex-m/images/${image}.png")
    list(APPEND files ${name}.zeq)
  endforeach()
endforeach()
# The loader with its own inflater, with its fast loop, then once on zlib's inflate.
set(loader "${SOURCE}/loader/zeq_loader.c" "${SOURCE}/loader/zeq_inflate.c"
  "${SOURCE}/loader/zeq_loader_zlib.c" "${SOURCE}/loader/zeq_panel.c")
set(zlib_objects inflate.o inffast.o inftrees.o adler32.o zutil.o)
must("${ppc_gcc}" -std=c99 -O2 -c ${loader})
must("${ppc_gcc}" -std=c99 -O2 -DZEQ_FAST_INFLATE -c "${SOURCE}/loader/zeq_inflate.c" -o zeq_inflate_fast.o)
foreach(inflate zeq_inflate zeq_inflate_fast)
  must("${ppc_gxx}" -std=c++20 -O2 -static "-I${SOURCE}/loader" "-I${SOURCE}/examples/cortex-m"
    "${SOURCE}/tests/loader/loader_checksums.cpp" zeq_loader.o ${inflate}.o zeq_loader_zlib.o
    zeq_panel.o -o checksums-${inflate})
endforeach()
file(MAKE_DIRECTORY "${WORK}/zlib")
set(zlib_work "${WORK}/zlib")
execute_process(COMMAND "${ppc_gcc}" -std=c99 -O2 -c -DNO_GZIP -DZEQ_USE_ZLIB "-I${zlib}" ${loader}
  "${zlib}/inflate.c" "${zlib}/inffast.c" "${zlib}/inftrees.c" "${zlib}/adler32.c" "${zlib}/zutil.c"
  WORKING_DIRECTORY "${zlib_work}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${ppc_gxx}" -std=c++20 -O2 -static -DZEQ_USE_ZLIB "-I${SOURCE}/loader"
  "-I${SOURCE}/examples/cortex-m" "${SOURCE}/tests/loader/loader_checksums.cpp" zeq_loader.o
  zeq_inflate.o zeq_loader_zlib.o zeq_panel.o ${zlib_objects} -o ../checksums-zlib
  WORKING_DIRECTORY "${zlib_work}" COMMAND_ERROR_IS_FATAL ANY)

must("${CHECKSUMS}" ${files})
set(host "${out}")
foreach(program checksums-zeq_inflate checksums-zeq_inflate_fast checksums-zlib)
  must("${qemu}" ./${program} ${files})
  if(NOT out STREQUAL host)
    message(FATAL_ERROR "The PowerPC's pixels (${program}) differ from the host's:\n${out}\nhost:\n${host}")
  endif()
endforeach()
