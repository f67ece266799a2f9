# Installs the build BUILD into WORK/prefix, builds the example SOURCE
# (examples/cortex-m) against it with the GENERATOR and the TOOLCHAIN file,
# with the loader's own inflater (without and with its fast loop) and with
# zlib's, runs each under QEMU and
# checks each checksum it reports against the host loader's (CHECKSUMS) for
# the same file and output, whole and streamed. Prints "Skipped: ..." without the ARM toolchain or QEMU.
find_program(arm_gcc arm-none-eabi-gcc)
find_program(qemu qemu-system-arm)
if(NOT arm_gcc OR NOT qemu)
  message("Skipped: arm-none-eabi-gcc or qemu-system-arm is missing "
    "(PNG2ZEQ_WITH_DEVICE=1 scripts/install-deps.sh installs them)")
  return()
endif()

file(REMOVE_RECURSE "${WORK}")
# Runs the command, leaving its output in `out`; stops the test when it fails.
function(must)
  execute_process(COMMAND ${ARGN} TIMEOUT 60 RESULT_VARIABLE failed OUTPUT_VARIABLE out
    ERROR_VARIABLE out)
  if(failed)
    message(FATAL_ERROR "${ARGN}\nfailed (${failed}):\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

must("${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${WORK}/prefix" --config "${CONFIG}")
file(GLOB_RECURSE config "${WORK}/prefix/*/png2zeqConfig.cmake")
get_filename_component(package_dir "${config}" DIRECTORY)
# The loader with its own inflater, with its fast loop, then on zlib's inflate.
set(zlibs OFF OFF ON)
set(fasts OFF ON OFF)
foreach(zlib fast IN ZIP_LISTS zlibs fasts)
  set(build "${WORK}/build-zlib-${zlib}-fast-${fast}")
  must("${CMAKE_COMMAND}" -S "${SOURCE}" -B "${build}" -G "${GENERATOR}"
    "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" "-Dpng2zeq_DIR=${package_dir}"
    -DPNG2ZEQ_LOADER_USE_ZLIB=${zlib} -DPNG2ZEQ_LOADER_FAST_INFLATE=${fast})
  must("${CMAKE_COMMAND}" --build "${build}")
  file(GLOB files "${build}/png2zeq/firmware/*.zeq")
  must("${CHECKSUMS}" ${files})
  string(REGEX MATCHALL "[^\n]+" host "${out}")
  must("${qemu}" -M mps2-an386 -nographic -semihosting-config enable=on,target=native -icount shift=0
    -kernel "${build}/firmware.elf")
  message("${out}")

  list(LENGTH host decodes)
  if(decodes LESS 30)
    message(FATAL_ERROR "Expected three images in ten outputs, the host decoded: ${host}")
  endif()
  foreach(line IN LISTS host)
    string(REPLACE " " ";" fields "${line}")
    list(GET fields 0 name)
    list(GET fields 1 output)
    list(GET fields 2 checksum)
    foreach(method decode decode-odd rows1 rows7)
      if(NOT out MATCHES "(^|\n)${name} ${output} ${method} checksum ${checksum} ")
        list(APPEND differing "zlib ${zlib}, fast ${fast}: ${name} ${output} ${method} (host: ${checksum})")
      endif()
    endforeach()
  endforeach()
endforeach()
if(differing)
  list(JOIN differing "\n  " differing)
  message(FATAL_ERROR "The device's pixels differ from the host's:\n  ${differing}")
endif()
