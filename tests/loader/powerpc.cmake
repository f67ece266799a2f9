# The loader on a big-endian CPU: builds loader_checksums.cpp with the loader
# and zlib's inflate (Debian's zlib sources, fetched by FETCH) for 32-bit
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
must("${ppc_gcc}" -std=c99 -O2 -c -DNO_GZIP "-I${zlib}" "${SOURCE}/loader/zeq_loader.c"
  "${zlib}/inflate.c" "${zlib}/inffast.c" "${zlib}/inftrees.c" "${zlib}/adler32.c" "${zlib}/zutil.c")
must("${ppc_gxx}" -std=c++20 -O2 -static "-I${SOURCE}/loader" "-I${SOURCE}/examples/cortex-m"
  "${SOURCE}/tests/loader/loader_checksums.cpp" zeq_loader.o inflate.o inffast.o inftrees.o
  adler32.o zutil.o -o checksums)

must("${CHECKSUMS}" ${files})
set(host "${out}")
must("${qemu}" ./checksums ${files})
if(NOT out STREQUAL host)
  message(FATAL_ERROR "The PowerPC's pixels differ from the host's:\n${out}\nhost:\n${host}")
endif()
