# png2zeq_add_images(): converts PNG files to ZEQ files while a target builds,
# and optionally compiles their bytes into the target.
#
#   png2zeq_add_images(<target>
#     IMAGES <png>...          relative to CMAKE_CURRENT_SOURCE_DIR, or absolute
#     [DEPTH 565] [DITHER] [UNCOMPRESSED] [BEST] [WINDOW <bits>]   bits: 9..15
#     [MAX_BYTES <n>] [MAX_TOTAL_BYTES <n>] [MAX_STREAM_RAM <n>] [MIN_PSNR <dB>]
#     [MANIFEST <file.json>]   relative to CMAKE_CURRENT_BINARY_DIR, or absolute
#     [OUTPUT_DIR <dir>]       relative to CMAKE_CURRENT_BINARY_DIR, or absolute;
#                              default: ${CMAKE_CURRENT_BINARY_DIR}/png2zeq/<target>
#     [EMBED [HEADER <name.h>] default header: <target>_images.h
#            [SYMBOL_PREFIX <c-identifier>]])   default: zeq
#
# The converter is the target png2zeq::png2zeq: the imported host tool after
# find_package(png2zeq), or the tool built alongside after add_subdirectory();
# MIN_PSNR also runs png2zeq::zeq2png.
#
# What a call does, in order:
#  1. It checks its arguments and its target. Every mistake is a
#     configure-time error naming png2zeq_add_images(<target>): bad
#     arguments, missing images, file names a build tool cannot carry, and
#     names claimed twice in the whole build (output files, symbols, macros).
#  2. It writes a small file holding the call's converter options and
#     per-image budgets, rewritten only when they change: each image depends
#     on it, so changed options convert again with every generator (Ninja
#     would notice the changed command line anyway, Makefiles would not).
#  3. Per image, it claims the output file (and with EMBED the symbols and
#     macros) and adds one build step, depending on the PNG, the converter and
#     the options file: png2zeqConvert.cmake, run with `cmake -P`, removes a
#     stale .zeq, converts, checks MAX_BYTES, MAX_STREAM_RAM and MIN_PSNR,
#     and writes the image's figures for the manifest and, for EMBED, its
#     constants (<PREFIX>_<ID>_WIDTH, ...), both read from the converted file.
#  4. With EMBED, per image, it generates from png2zeqEmbed.c.in a C (or C++)
#     source whose only content is a top-level assembler statement with
#     `.incbin`. The assembler is thus reached through the compiler the project
#     already has: no enable_language(ASM), no Python, no hex dump, and a
#     1.5 MB image assembles in milliseconds. The source's OBJECT_DEPENDS names
#     the .zeq file, since the compiler's dependency scanner cannot see through
#     `.incbin`.
#  5. With MAX_TOTAL_BYTES or MANIFEST, it adds one build step over all the
#     call's images, after theirs: png2zeqManifest.cmake checks the total
#     and writes the manifest.
#  6. It adds one custom target over the call's steps, which <target>
#     depends on.
#  7. With EMBED, it enters the images in the target's header, which is
#     written from png2zeqImages.h.in at the end of the configuration, once all
#     calls are known: it declares the symbols, includes each image's
#     constants and derives from them, in the preprocessor, the maxima over
#     all images of the header (<HEADER>_MAX_WIDTH, ...).

cmake_minimum_required(VERSION 3.20)
include_guard(GLOBAL)

# The registry: everything the whole build shares between calls lives in
# global properties whose names start with PNG2ZEQ_REGISTRY_.
#   _LOADER_HEADER         the loader's header, zeq_loader.h: its names
#                          (zeq_decode, ZEQ_HEADER_SIZE, ...) are reserved so that
#                          no image can shadow them, and the conversion step reads
#                          the format's layout from it;
#   _LOADER_RESERVED       set once the loader's names are claimed;
#   _OWNER_<NAME>          who claimed the symbol or macro NAME (upper case), and
#   _SPELLING_<NAME>       how that owner spelt it;
#   _OUTPUT_<file>         which image is converted to <file>, or which call
#                          writes it as its manifest (lower case where file
#                          names ignore case);
#   _CALLS_<target>        how many calls <target> has had: it numbers each
#                          call's files and steps;
#   _HEADERS               the images' headers still to write, by path, and per
#   _HEADER_<path>         header: its target, include guard, the path from it
#                          to the images' constants and its maxima's prefix,
#                          then its symbols.
set_property(GLOBAL PROPERTY PNG2ZEQ_REGISTRY_LOADER_HEADER "${png2zeq_LOADER_SOURCE_DIR}/zeq_loader.h")

# Stops the configuration with the arguments after <target>, joined, after
# "png2zeq_add_images(<target>): " (ARGV<n> keeps a semicolon in a name).
function(_png2zeq_refuse target)
  set(text "")
  math(EXPR last "${ARGC} - 1")
  foreach(i RANGE 1 ${last})
    string(APPEND text "${ARGV${i}}")
  endforeach()
  message(FATAL_ERROR "png2zeq_add_images(${target}): ${text}")
endfunction()

# Refuses <text> (an image or a path derived from it) if a build tool cannot
# carry it: an empty item, a control character (tabs and newlines break the
# build files' dependency lines), a semicolon (CMake's list separator; an
# unbalanced [ or ] also joins two items with one), a backslash (CMake reads
# it as a folder separator), # < > (CMake refuses them in a built file's
# name), or | : $( (they end or expand a name in Ninja's or Make's rules).
function(_png2zeq_check_characters target text what)
  string(ASCII 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 127 controls)
  string(REGEX REPLACE "^[A-Za-z]:/" "/" without_drive "${text}")
  if(text STREQUAL "")
    _png2zeq_refuse(${target} "IMAGES has an empty item.")
  elseif(text MATCHES "[${controls}]")
    _png2zeq_refuse(${target} "${what} \"${text}\" contains a control character, which build files cannot carry; rename it.")
  elseif(text MATCHES ";")
    _png2zeq_refuse(${target} "${what} \"${text}\" contains a semicolon (or an unbalanced [ or ]), "
      "which CMake takes for a list separator; rename it.")
  elseif(text MATCHES "\\\\")
    _png2zeq_refuse(${target} "${what} \"${text}\" contains a backslash, which CMake reads as a folder separator; "
      "rename it or use /.")
  elseif(without_drive MATCHES "[#<>|:]" OR text MATCHES "\\$\\(")
    _png2zeq_refuse(${target} "${what} \"${text}\" contains one of # < > | : $(, which CMake, Ninja or Make "
      "cannot carry in the name of a built file; rename it.")
  endif()
endfunction()

# Records in the registry that <owner> (a description) uses each name in
# ARGN. Names are compared in upper case, since the macros are upper case; a
# name already claimed (even by the same owner in another call) stops the
# configuration of <target>'s call, naming both owners.
function(_png2zeq_claim target owner)
  set(keys "")
  set(names "")
  foreach(name IN LISTS ARGN)
    string(TOUPPER "${name}" key)
    if(NOT key IN_LIST keys)
      list(APPEND keys ${key})
      list(APPEND names ${name})
    endif()
  endforeach()
  foreach(name key IN ZIP_LISTS names keys)
    get_property(other GLOBAL PROPERTY "PNG2ZEQ_REGISTRY_OWNER_${key}")
    if(other)
      get_property(other_name GLOBAL PROPERTY "PNG2ZEQ_REGISTRY_SPELLING_${key}")
      set(case_note "")
      if(NOT name STREQUAL other_name)
        set(case_note " (the macros are upper case, so names that differ only in case clash)")
      endif()
      _png2zeq_refuse(${target} "${owner} gives ${name}, and ${other} gives ${other_name}${case_note}; "
        "rename one image or give one call its own SYMBOL_PREFIX.")
    endif()
    set_property(GLOBAL PROPERTY "PNG2ZEQ_REGISTRY_OWNER_${key}" "${owner}")
    set_property(GLOBAL PROPERTY "PNG2ZEQ_REGISTRY_SPELLING_${key}" "${name}")
  endforeach()
endfunction()

# Claims, once per configuration, every zeq_*/ZEQ_* name of the loader's
# header, which firmware includes next to the images' header.
function(_png2zeq_reserve_loader_names target)
  get_property(header GLOBAL PROPERTY PNG2ZEQ_REGISTRY_LOADER_HEADER)
  get_property(done GLOBAL PROPERTY PNG2ZEQ_REGISTRY_LOADER_RESERVED)
  if(done OR NOT EXISTS "${header}")
    return()
  endif()
  set_property(GLOBAL PROPERTY PNG2ZEQ_REGISTRY_LOADER_RESERVED TRUE)
  file(READ "${header}" text)
  string(REGEX MATCHALL "[Zz][Ee][Qq]_[A-Za-z0-9_]+" names "${text}")
  list(REMOVE_DUPLICATES names)
  _png2zeq_claim(${target} "the loader's header zeq_loader.h" ${names})
endfunction()

# Records in the registry that <owner> (a description) writes <file>; refuses
# <target>'s call if another owner does, saying that both would <verb> it.
function(_png2zeq_claim_output target file owner verb)
  # Where file names ignore case, so does the claim.
  set(key "${file}")
  if(CMAKE_HOST_WIN32 OR CMAKE_HOST_APPLE)
    string(TOLOWER "${key}" key)
  endif()
  get_property(other GLOBAL PROPERTY "PNG2ZEQ_REGISTRY_OUTPUT_${key}")
  if(other)
    _png2zeq_refuse(${target} "${owner} and ${other} would both ${verb} ${file}; "
      "give one call another OUTPUT_DIR.")
  endif()
  set_property(GLOBAL PROPERTY "PNG2ZEQ_REGISTRY_OUTPUT_${key}" "${owner}")
endfunction()

# Checks one IMAGES item of a call on <target> and claims its output file in
# the registry. Gives the absolute PNG path (relative items are taken from
# <base_dir>), its name without extension and the .zeq path in <output_dir>,
# in <png_var>, <name_var> and <zeq_var>.
function(_png2zeq_check_image target image base_dir output_dir png_var name_var zeq_var)
  # On a Windows host a backslash separates folders, as users write them there.
  if(CMAKE_HOST_WIN32)
    file(TO_CMAKE_PATH "${image}" image)
  endif()
  _png2zeq_check_characters(${target} "${image}" "IMAGES item")
  get_filename_component(png "${image}" ABSOLUTE BASE_DIR "${base_dir}")
  get_source_file_property(generated "${png}" GENERATED)
  if(IS_DIRECTORY "${png}")
    _png2zeq_refuse(${target} "IMAGES item \"${image}\" is a directory, not a PNG file.")
  elseif(NOT EXISTS "${png}" AND NOT generated)
    set(hint "")
    if(image MATCHES "^[A-Z_]+$")
      set(hint " (and it is not a keyword of png2zeq_add_images)")
    endif()
    _png2zeq_refuse(${target} "IMAGES item \"${image}\" does not exist${hint}: no file ${png}, "
      "and it is not marked GENERATED.")
  endif()
  get_filename_component(name "${png}" NAME_WLE)
  if(name STREQUAL "")
    _png2zeq_refuse(${target} "IMAGES item \"${image}\" has no name before its extension.")
  endif()
  set(zeq "${output_dir}/${name}.zeq")
  _png2zeq_check_characters(${target} "${zeq}" "The output of \"${image}\"")
  _png2zeq_claim_output(${target} "${zeq}" "\"${png}\" of target ${target}" "be converted to")
  set(${png_var} "${png}" PARENT_SCOPE)
  set(${name_var} "${name}" PARENT_SCOPE)
  set(${zeq_var} "${zeq}" PARENT_SCOPE)
endfunction()

# Writes the embedding source of one image, <symbol>, from png2zeqEmbed.c.in
# into <source_dir> and adds it to <target>. The arrays sit in their own
# section each (so --gc-sections drops unused images) and are aligned to 4
# bytes; the size is a 4-byte word after the data.
function(_png2zeq_embed_image target symbol zeq_file source_dir)
  # Languages are enabled per directory: ask the target's own.
  get_target_property(target_dir ${target} SOURCE_DIR)
  get_directory_property(c_rule DIRECTORY "${target_dir}" DEFINITION CMAKE_C_COMPILE_OBJECT)
  get_directory_property(cxx_rule DIRECTORY "${target_dir}" DEFINITION CMAKE_CXX_COMPILE_OBJECT)
  if(c_rule)
    set(source "${source_dir}/${symbol}.c")
  elseif(cxx_rule)
    set(source "${source_dir}/${symbol}.cpp")
  else()
    _png2zeq_refuse(${target} "EMBED needs C or CXX enabled in project().")
  endif()
  # The path sits in an assembler string inside a C string literal:
  # backslashes and double quotes are escaped twice.
  set(quoted_path "${zeq_file}")
  foreach(_ RANGE 1)
    string(REPLACE "\\" "\\\\" quoted_path "${quoted_path}")
    string(REPLACE "\"" "\\\"" quoted_path "${quoted_path}")
  endforeach()
  # __USER_LABEL_PREFIX__ is empty on ELF and `_` on Mach-O, where a C name
  # `zeq_x` is the assembler symbol `_zeq_x`; Mach-O also has its own name for
  # the read-only section and no .type or .size. The compiler marks the object
  # as not needing an executable stack (.note.GNU-stack) as for any C file.
  configure_file("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/png2zeqEmbed.c.in" "${source}" @ONLY)
  target_sources(${target} PRIVATE "${source}")
  set_source_files_properties("${source}" TARGET_DIRECTORY ${target}
    PROPERTIES OBJECT_DEPENDS "${zeq_file}")
endfunction()

# Enters <symbols> in <target>'s header <header_name> in <private_dir>/include,
# whose directory the target gets publicly on first use. The first header of
# the build schedules the writing of all of them at the end of the
# configuration.
function(_png2zeq_declare target header_name symbols private_dir)
  set(path "${private_dir}/include/${header_name}")
  get_property(known GLOBAL PROPERTY "PNG2ZEQ_REGISTRY_HEADER_${path}" SET)
  if(NOT known)
    get_property(headers GLOBAL PROPERTY PNG2ZEQ_REGISTRY_HEADERS)
    if(NOT headers)
      cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL _png2zeq_write_headers)
    endif()
    set_property(GLOBAL APPEND PROPERTY PNG2ZEQ_REGISTRY_HEADERS "${path}")
    get_filename_component(directory "${path}" DIRECTORY)
    file(RELATIVE_PATH constants "${directory}" "${private_dir}/constants")
    get_filename_component(dir_key "${private_dir}" NAME)
    string(MAKE_C_IDENTIFIER "PNG2ZEQ_${dir_key}_${header_name}" guard)
    string(TOUPPER "${guard}" guard)
    # The maxima are named after the header's file name: fw_images.h gives
    # FW_IMAGES_MAX_WIDTH.
    get_filename_component(maxima "${header_name}" NAME_WLE)
    string(MAKE_C_IDENTIFIER "${maxima}" maxima)
    string(TOUPPER "${maxima}" maxima)
    _png2zeq_claim(${target} "the header ${header_name} of target ${target}" ${maxima}_MAX_WIDTH
      ${maxima}_MAX_HEIGHT ${maxima}_MAX_RAW_LENGTH ${maxima}_MAX_WINDOW_BITS)
    set_property(GLOBAL PROPERTY "PNG2ZEQ_REGISTRY_HEADER_${path}"
      "${target}" "${guard}" "${constants}" "${maxima}")
    # Public, so that what links a library of images sees its declarations
    # too; build-tree only, so that such a library can still be installed.
    target_include_directories(${target} PUBLIC "$<BUILD_INTERFACE:${private_dir}/include>")
  endif()
  set_property(GLOBAL APPEND PROPERTY "PNG2ZEQ_REGISTRY_HEADER_${path}" ${symbols})
endfunction()

# Writes every images' header of the build from png2zeqImages.h.in (run once,
# deferred to the end of the configuration), rewriting only those whose
# content changes. Each declares its symbols, includes, per image, the
# constants that the conversion step writes, and raises each maximum to the
# image's figure where it is larger: the maxima stay integer constant
# expressions, and follow the images without any step of their own.
function(_png2zeq_write_headers)
  get_property(headers GLOBAL PROPERTY PNG2ZEQ_REGISTRY_HEADERS)
  foreach(path IN LISTS headers)
    get_property(symbols GLOBAL PROPERTY "PNG2ZEQ_REGISTRY_HEADER_${path}")
    list(POP_FRONT symbols target guard constants maxima)
    set(includes "")
    set(declarations "")
    set(raises "")
    foreach(symbol IN LISTS symbols)
      string(APPEND includes "#include \"${constants}/${symbol}.h\"\n")
      string(APPEND declarations
        "extern const unsigned char ${symbol}[];\nextern const uint32_t ${symbol}_size;\n")
      string(TOUPPER "${symbol}" macro)
      foreach(figure IN ITEMS WIDTH HEIGHT RAW_LENGTH WINDOW_BITS)
        string(APPEND raises "#if ${macro}_${figure} > ${maxima}_MAX_${figure}\n"
          "#undef ${maxima}_MAX_${figure}\n#define ${maxima}_MAX_${figure} ${macro}_${figure}\n#endif\n")
      endforeach()
    endforeach()
    configure_file("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/png2zeqImages.h.in" "${path}" @ONLY)
  endforeach()
endfunction()

# Takes the arguments described at the top of this file; adds one build step
# per image and one custom target per call that <target> depends on, and with
# EMBED the sources and header that compile the images into <target>. Stops
# the configuration with a message on bad arguments, file names a build
# cannot carry, or names and outputs claimed twice in the build.
function(png2zeq_add_images target)
  # 1. The arguments and the target.
  cmake_parse_arguments(PARSE_ARGV 1 arg "DITHER;UNCOMPRESSED;BEST;EMBED"
    "DEPTH;OUTPUT_DIR;HEADER;SYMBOL_PREFIX;WINDOW;MAX_BYTES;MAX_TOTAL_BYTES;MAX_STREAM_RAM;MIN_PSNR;MANIFEST"
    "IMAGES")
  set(depth 565)
  if(NOT TARGET ${target})
    _png2zeq_refuse(${target} "no target named ${target}; create it first.")
  endif()
  foreach(argument IN LISTS arg_UNPARSED_ARGUMENTS)
    _png2zeq_refuse(${target} "unknown keyword \"${argument}\".")
  endforeach()
  foreach(keyword IN LISTS arg_KEYWORDS_MISSING_VALUES)
    _png2zeq_refuse(${target} "${keyword} needs a value.")
  endforeach()
  foreach(budget IN ITEMS MAX_BYTES MAX_TOTAL_BYTES MAX_STREAM_RAM)
    if(DEFINED arg_${budget} AND NOT arg_${budget} MATCHES "^[0-9]+$")
      _png2zeq_refuse(${target} "${budget} \"${arg_${budget}}\" is not a number of bytes.")
    endif()
  endforeach()
  if(NOT DEFINED arg_IMAGES)
    _png2zeq_refuse(${target} "IMAGES is missing: name at least one PNG file.")
  elseif(DEFINED arg_HEADER AND NOT arg_EMBED)
    _png2zeq_refuse(${target} "HEADER ${arg_HEADER} needs EMBED.")
  elseif(arg_DITHER AND NOT DEFINED arg_DEPTH)
    _png2zeq_refuse(${target} "DITHER needs DEPTH ${depth}.")
  elseif(DEFINED arg_DEPTH AND NOT arg_DEPTH MATCHES "^(0[xX])?${depth}$")
    _png2zeq_refuse(${target} "DEPTH \"${arg_DEPTH}\" is not a depth; the one depth is ${depth} (or 0x${depth}).")
  elseif(DEFINED arg_WINDOW AND NOT arg_WINDOW MATCHES "^(9|1[0-5])$")
    _png2zeq_refuse(${target} "WINDOW \"${arg_WINDOW}\" is not a window; give its bits, 9 to 15.")
  elseif(DEFINED arg_MIN_PSNR AND NOT arg_MIN_PSNR MATCHES "^[0-9]+(\\.[0-9]+)?$")
    _png2zeq_refuse(${target} "MIN_PSNR \"${arg_MIN_PSNR}\" is not a number of decibels.")
  # A leading underscore would make the symbols reserved identifiers.
  elseif(DEFINED arg_SYMBOL_PREFIX AND NOT arg_SYMBOL_PREFIX MATCHES "^[A-Za-z][A-Za-z0-9_]*$")
    _png2zeq_refuse(${target} "SYMBOL_PREFIX \"${arg_SYMBOL_PREFIX}\" is not a C identifier starting with a letter.")
  elseif(DEFINED arg_HEADER AND (IS_ABSOLUTE "${arg_HEADER}" OR arg_HEADER MATCHES "(^|/)\\.\\.(/|$)|[\\\"<>]"))
    _png2zeq_refuse(${target} "HEADER \"${arg_HEADER}\" must be a relative path inside the include directory.")
  elseif(NOT TARGET png2zeq::png2zeq)
    _png2zeq_refuse(${target} "the converter png2zeq::png2zeq is missing; "
      "use find_package(png2zeq) or add_subdirectory() of the png2zeq source tree.")
  elseif(DEFINED arg_MIN_PSNR AND NOT TARGET png2zeq::zeq2png)
    _png2zeq_refuse(${target} "MIN_PSNR needs png2zeq::zeq2png, which this png2zeq package lacks.")
  endif()
  get_target_property(real_target ${target} ALIASED_TARGET)
  if(real_target)
    set(target ${real_target})
  endif()
  get_target_property(imported ${target} IMPORTED)
  get_target_property(type ${target} TYPE)
  if(imported)
    _png2zeq_refuse(${target} "${target} is an imported target, which builds nothing; use a target of this project.")
  elseif(arg_EMBED AND type MATCHES "^(UTILITY|INTERFACE_LIBRARY)$")
    _png2zeq_refuse(${target} "EMBED needs a target that compiles sources, and ${target} is a ${type}.")
  endif()
  if(NOT DEFINED arg_SYMBOL_PREFIX)
    set(arg_SYMBOL_PREFIX zeq)
  endif()
  if(NOT DEFINED arg_HEADER)
    set(arg_HEADER "${target}_images.h")
  endif()
  string(TOUPPER "${arg_SYMBOL_PREFIX}" macro_prefix)
  if(arg_EMBED)
    _png2zeq_reserve_loader_names(${target})
  endif()

  # One private directory per target for the options files, embedding
  # sources, constants and headers, its name unique even where file names
  # ignore case (fw-a, fw_a, FW_A); one number per call for unique names.
  get_target_property(binary_dir ${target} BINARY_DIR)
  string(MAKE_C_IDENTIFIER "${target}" target_id)
  string(SHA1 hash "${target}")
  string(SUBSTRING "${hash}" 0 8 hash)
  set(private_dir "${binary_dir}/png2zeq_generated/${target_id}-${hash}")
  get_property(calls GLOBAL PROPERTY "PNG2ZEQ_REGISTRY_CALLS_${target}")
  math(EXPR calls "${calls} + 1")
  set_property(GLOBAL PROPERTY "PNG2ZEQ_REGISTRY_CALLS_${target}" ${calls})
  if(DEFINED arg_OUTPUT_DIR)
    get_filename_component(output_dir "${arg_OUTPUT_DIR}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  else()
    set(output_dir "${CMAKE_CURRENT_BINARY_DIR}/png2zeq/${target}")
  endif()
  set(call "png2zeq_add_images(${target})")
  if(DEFINED arg_MANIFEST)
    get_filename_component(manifest "${arg_MANIFEST}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
    _png2zeq_check_characters(${target} "${manifest}" "MANIFEST")
    _png2zeq_claim_output(${target} "${manifest}" "the MANIFEST of ${call}" "write")
  endif()

  # 2. The options file: rewritten only when its content changes, so only
  # changed options or budgets (or a converter moved elsewhere) convert this
  # call's images again.
  set(options "")
  if(DEFINED arg_DEPTH)
    list(APPEND options -depth ${arg_DEPTH})
  endif()
  foreach(flag IN ITEMS DITHER UNCOMPRESSED BEST)
    if(arg_${flag})
      string(TOLOWER "-${flag}" flag)
      list(APPEND options ${flag})
    endif()
  endforeach()
  if(DEFINED arg_WINDOW)
    list(APPEND options -window ${arg_WINDOW})
  endif()
  string(REPLACE ";" "," options "${options}")
  set(budgets "")
  set(tools png2zeq::png2zeq)
  foreach(budget IN ITEMS MAX_BYTES MAX_STREAM_RAM MIN_PSNR)
    if(DEFINED arg_${budget})
      list(APPEND budgets "-D${budget}=${arg_${budget}}")
    endif()
  endforeach()
  if(DEFINED arg_MIN_PSNR)
    list(APPEND budgets "-DZEQ2PNG=$<TARGET_FILE:png2zeq::zeq2png>")
    list(APPEND tools png2zeq::zeq2png)
  endif()
  set(options_file "${private_dir}/call${calls}.options")
  file(CONFIGURE OUTPUT "${options_file}" CONTENT "${options}\n${budgets}\n")
  set(convert "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/png2zeqConvert.cmake")
  get_property(loader_header GLOBAL PROPERTY PNG2ZEQ_REGISTRY_LOADER_HEADER)

  # 3. and 4. One build step per image, and with EMBED its source. The
  # manifest names the PNGs from the source tree (or the build tree, for
  # generated ones) and the ZEQ files from the build tree.
  set(outputs "")
  set(symbols "")
  set(facts_files "")
  set(manifest_lines "${options}")
  foreach(image IN LISTS arg_IMAGES)
    _png2zeq_check_image(${target} "${image}" "${CMAKE_CURRENT_SOURCE_DIR}" "${output_dir}" png name zeq)
    set(constants "")
    set(macro "")
    if(arg_EMBED)
      string(MAKE_C_IDENTIFIER "${name}" id)  # also prefixes a leading digit with `_`
      set(symbol "${arg_SYMBOL_PREFIX}_${id}")
      string(TOUPPER "${macro_prefix}_${id}" macro)
      _png2zeq_claim(${target} "\"${png}\" of target ${target}" ${symbol} ${symbol}_size
        ${macro}_WIDTH ${macro}_HEIGHT ${macro}_FORMAT ${macro}_RAW_LENGTH ${macro}_WINDOW_BITS)
      set(constants "${private_dir}/constants/${symbol}.h")
    endif()
    set(facts "${private_dir}/call${calls}/${name}.cmake")
    add_custom_command(OUTPUT "${zeq}" BYPRODUCTS "${facts}" ${constants}
      COMMAND "${CMAKE_COMMAND}" "-DCONVERTER=$<TARGET_FILE:png2zeq::png2zeq>" "-DOPTIONS=${options}"
        "-DPNG=${png}" "-DZEQ=${zeq}" "-DLOADER_HEADER=${loader_header}" "-DFACTS=${facts}"
        "-DCALL=${call}" "-DNAME=${macro}" "-DCONSTANTS=${constants}" ${budgets}
        "-DINFLATER=$<IF:$<IN_LIST:ZEQ_USE_ZLIB,$<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>>,ZLIB,OWN>"
        -P "${convert}"
      DEPENDS "${png}" ${tools} "${options_file}" "${convert}"
      COMMENT "Converting ${image} to ${name}.zeq"
      VERBATIM)
    list(APPEND outputs "${zeq}")
    list(APPEND facts_files "${facts}")
    file(RELATIVE_PATH png_name "${CMAKE_BINARY_DIR}" "${png}")
    if(png_name MATCHES "^\\.\\./")
      file(RELATIVE_PATH png_name "${CMAKE_SOURCE_DIR}" "${png}")
    else()
      string(PREPEND png_name "<build>/")
    endif()
    file(RELATIVE_PATH zeq_name "${CMAKE_BINARY_DIR}" "${zeq}")
    string(APPEND manifest_lines "\n${png_name}\t${zeq_name}\t${facts}")
    if(arg_EMBED)
      list(APPEND symbols ${symbol})
      _png2zeq_embed_image(${target} ${symbol} "${zeq}" "${private_dir}/embed")
    endif()
  endforeach()
  file(MAKE_DIRECTORY "${output_dir}")

  # 5. The step over the call's images.
  if(DEFINED arg_MAX_TOTAL_BYTES OR DEFINED arg_MANIFEST)
    set(images_file "${private_dir}/call${calls}.images")
    file(CONFIGURE OUTPUT "${images_file}" CONTENT "${manifest_lines}\n")
    set(stamp "${private_dir}/call${calls}.stamp")
    set(arguments "")
    if(DEFINED arg_MAX_TOTAL_BYTES)
      list(APPEND arguments "-DMAX_TOTAL_BYTES=${arg_MAX_TOTAL_BYTES}")
    endif()
    if(DEFINED arg_MANIFEST)
      list(APPEND arguments "-DMANIFEST=${manifest}")
    endif()
    add_custom_command(OUTPUT "${stamp}" BYPRODUCTS ${manifest}
      COMMAND "${CMAKE_COMMAND}" "-DCALL=${call}" "-DIMAGES_FILE=${images_file}" "-DSTAMP=${stamp}"
        ${arguments} -P "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/png2zeqManifest.cmake"
      DEPENDS ${facts_files} "${images_file}" "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/png2zeqManifest.cmake"
      COMMENT "Checking the images of ${call} together"
      VERBATIM)
    list(APPEND outputs "${stamp}")
  endif()

  # 6. The call's custom target; the number ends the name, so no two
  # targets' steps can share one.
  set(step "${target}_png2zeq${calls}")
  add_custom_target(${step} DEPENDS ${outputs})
  add_dependencies(${target} ${step})

  # 7. The header.
  if(arg_EMBED)
    _png2zeq_declare(${target} "${arg_HEADER}" "${symbols}" "${private_dir}")
  endif()
endfunction()
