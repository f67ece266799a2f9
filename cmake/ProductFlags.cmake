# The tools report every failure through result codes and never throw, so
# their code is built without exception tables and RTTI, and the executables
# are linked --as-needed: then neither loads the C++ runtime (libstdc++,
# libgcc_s) at start-up, which is most of a small icon's conversion time.
# Test and fuzz binaries keep their frameworks' own flags. WebAssembly's
# linker has no --as-needed (and no shared runtime to leave out).
function(png2zeq_product_code)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE" AND NOT EMSCRIPTEN)
      target_link_options(${target} PRIVATE LINKER:--as-needed)
    endif()
  endforeach()
endfunction()
