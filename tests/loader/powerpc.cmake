# The loader on a big-endian CPU: converts images with the host's png2zeq
# (CONVERTER) into every kind of file, builds file_checksums.c with the
# loader and zlib's inflate (Debian's zlib sources, fetched by FETCH) for
# 32-bit PowerPC, runs it under qemu-ppc and checks its checksums (each
# file's, whole and streamed alike) against the host loader's (CHECKSUMS). Prints "Skipped: ..." without the tools.
find_program(ppc_gcc powerpc-linux-gnu-gcc)
find_program(qemu qemu-ppc)
if(NOT ppc_gcc OR NOT qemu)
  message("Skipped: powerpc-linux-gnu-gcc or qemu-ppc is missing "
    "(PNG2ZEQ_WITH_DEVICE=1 scripts/install-deps.sh installs them)")
  return()
endif()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
# Runs the command in WORK, leaving its output in `out`; stops the test when it fails.
function(must)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK}" TIMEOUT 120
    RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE error)
  if(failed)
    message(FATAL_ERROR "${ARGN}\nfailed (${failed}):\n${out}${error}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

must("${FETCH}" zlib)
string(STRIP "${out}" zlib)
foreach(image samples/gradient-rgba-96x64 examples/cortex-m/images/panel examples/cortex-m/images/badge)
  get_filename_component(name "${image}" NAME)
  foreach(options "" "-depth;565" "-uncompressed" "-depth;565;-uncompressed")
    string(REPLACE ";" "" suffix "${name}${options}")
    must("${CONVERTER}" ${options} -output "${suffix}.zeq" "${SOURCE}/${image}.png")
    list(APPEND files "${suffix}.zeq")
  endforeach()
endforeach()

must("${ppc_gcc}" -std=c99 -O2 -static -Wall -Wextra -Werror -DNO_GZIP
  "-I${SOURCE}/loader" "-I${SOURCE}/examples/cortex-m" "-I${zlib}"
  "${SOURCE}/tests/loader/file_checksums.c" "${SOURCE}/loader/zeq_loader.c" "${zlib}/inflate.c"
  "${zlib}/inffast.c" "${zlib}/inftrees.c" "${zlib}/adler32.c" "${zlib}/zutil.c" -o checksums.ppc)
must("${CHECKSUMS}" ${files})
set(host "${out}")
must("${qemu}" ./checksums.ppc ${files})
if(NOT out STREQUAL host)
  message(FATAL_ERROR "The PowerPC's pixels differ from the host's:\n${out}\nhost:\n${host}")
endif()
message("${out}")
