# Keeps the documentation honest. Run as
#   cmake -DSOURCE_DIR=<repository> -P docs_check.cmake
# (a) every relative link in the Markdown pages names an existing file (anchors
#     are not checked); (b) every option in a tool's own option table is
#     described in the OPTIONS section of its manual page; (c) every option of
#     zeq2png's table is shown in its usage text; (d) the figures the pages
#     quote from loader/zeq_format.h are its #defines' values; (e) every stated
#     version is the project's, and the PlatformIO manifest is valid JSON
#     whose every named file exists.
file(GLOB pages ${SOURCE_DIR}/README.md ${SOURCE_DIR}/CONTRIBUTING.md ${SOURCE_DIR}/CHANGELOG.md ${SOURCE_DIR}/docs/*.md
  ${SOURCE_DIR}/bench/README.md ${SOURCE_DIR}/examples/*/README.md ${SOURCE_DIR}/loader/README.md)
# The format's facts, from the #define lines of loader/zeq_format.h.
file(READ ${SOURCE_DIR}/loader/zeq_format.h format)
string(REGEX MATCHALL "\n#define ZEQ_[A-Z0-9_]+ +(0x[0-9A-Fa-f]+|[0-9]+)" defines "${format}")
foreach(define IN LISTS defines)
  string(REGEX MATCH "ZEQ_([A-Z0-9_]+) +(.+)" found "${define}")
  set(fact_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
endforeach()
# Appends to `failures` each fact that `page` quotes as `ZEQ_NAME` (value)
# or `ZEQ_NAME`-byte (value) and zeq_format.h gives otherwise, and each range
# of -window's (WINDOW's) bits given as "<n> to <m>" that is not its own.
function(check_quoted_facts page)
  file(READ ${page} text)
  string(REGEX MATCHALL "`ZEQ_[A-Z0-9_]+`[-a-z]* \\([0-9A-Fa-fx]+\\)" quotes "${text}")
  string(REGEX MATCHALL "(-window|WINDOW)[^.;|]*[^0-9.][0-9]+ to [0-9]+" ranges "${text}")
  set(window "${fact_WINDOW_BITS_MIN} to ${fact_WINDOW_BITS_MAX}")
  foreach(quote IN LISTS quotes ranges)
    string(REGEX MATCH "`ZEQ_([A-Z0-9_]+)`[-a-z]* \\((.+)\\)|([0-9]+ to [0-9]+)$" found "${quote}")
    if(CMAKE_MATCH_1 AND NOT "${fact_${CMAKE_MATCH_1}}" STREQUAL "${CMAKE_MATCH_2}")
      list(APPEND failures "${page}: ${quote}, but zeq_format.h gives ${fact_${CMAKE_MATCH_1}}")
    elseif(CMAKE_MATCH_3 AND NOT CMAKE_MATCH_3 STREQUAL window)
      list(APPEND failures "${page}: the window's bits are ${window}, not ${CMAKE_MATCH_3}")
    endif()
  endforeach()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

set(failures "")
check_quoted_facts(${SOURCE_DIR}/man/png2zeq.1)
foreach(page IN LISTS pages)
  check_quoted_facts(${page})
  file(READ ${page} text)
  # "](" becomes a marker first, since brackets would hold a CMake list together.
  string(REPLACE "](" "@LINK@" text "${text}")
  string(REGEX MATCHALL "@LINK@[^)# ]*" links "${text}")
  get_filename_component(directory ${page} DIRECTORY)
  foreach(link IN LISTS links)
    string(REPLACE "@LINK@" "" target "${link}")
    if(NOT target STREQUAL "" AND NOT target MATCHES "^[a-z]+:" AND NOT EXISTS ${directory}/${target})
      list(APPEND failures "${page}: no file for the link '${target}'")
    endif()
  endforeach()
endforeach()

# Adds to `failures` each option of `rows` (an option table's {"name fields)
# that `text` does not hold as ` <dash><name> `, saying "<where>: option -<name> <missing>".
function(expect_options rows text dash where missing)
  foreach(row IN LISTS rows)
    string(SUBSTRING "${row}" 2 -1 name)
    string(FIND "${text}" " ${dash}${name} " found)
    if(found EQUAL -1)
      list(APPEND failures "${where}: option -${name} ${missing}")
    endif()
  endforeach()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

set(tables src/cli/command_line.cpp tools/zeq2png/command_line.cpp)
set(man_pages man/png2zeq.1 man/zeq2png.1)
foreach(table_source man_page IN ZIP_LISTS tables man_pages)
  # The option names are the first field of each row of the table kOptions[].
  file(READ ${SOURCE_DIR}/${table_source} source)
  string(REGEX MATCH "kOptions\\[\\] = {[^;]*};" table "${source}")
  string(REGEX MATCHALL "{\"[^\"]+" names "${table}")
  if(NOT names)
    list(APPEND failures "${table_source}: no option table kOptions[] found")
  endif()
  # The OPTIONS section, its words as the page spells them (\-name) with fonts
  # and punctuation turned into spaces.
  file(READ ${SOURCE_DIR}/${man_page} man)
  string(REPLACE "\n.SH " "@SH@" man "${man}")
  string(REGEX MATCH "@SH@OPTIONS\n[^@]*" section "${man}")
  string(REGEX REPLACE "\\\\f[BIRP]|[^-A-Za-z0-9?\\\\]" " " section " ${section} ")
  expect_options("${names}" "${section}" "\\-" ${man_page} "of ${table_source} is not under OPTIONS")
endforeach()

# zeq2png's usage text is the string PrintZeq2PngUsage() prints; it shows
# each option by its full name (a one-letter name is an abbreviation), and
# -h|?|help there reads as -h -? -help.
file(READ ${SOURCE_DIR}/tools/zeq2png/command_line.cpp source)
string(REGEX MATCH "void PrintZeq2PngUsage[^}]*}" usage "${source}")
string(REGEX REPLACE "\\|-?" " -" usage "${usage}")
string(REGEX REPLACE "[^-A-Za-z0-9?]" " " usage " ${usage} ")
string(REGEX MATCH "kOptions\\[\\] = {[^;]*};" table "${source}")
string(REGEX MATCHALL "{\"[^\"][^\"]+" names "${table}")
expect_options("${names}" "${usage}" "-" tools/zeq2png/command_line.cpp "is not in the usage text")

# (d) The header table of format.md: each field at its ZEQ_OFFSET_.
file(READ ${SOURCE_DIR}/docs/format.md text)
string(REGEX MATCHALL "X\\([A-Z_]+, [A-Za-z]+\\)" fields "${format}")
foreach(field IN LISTS fields)
  string(REGEX MATCH "X\\(([A-Z_]+), ([A-Za-z]+)\\)" found "${field}")
  set(name "${CMAKE_MATCH_2}")
  set(offset "${fact_OFFSET_${CMAKE_MATCH_1}}")
  if(NOT text MATCHES "\n\\| ${offset} \\| 4 \\| `${name}` \\|")
    list(APPEND failures "docs/format.md: no row for ${name} at offset ${offset}")
  endif()
endforeach()

# (e) The stated versions and the PlatformIO manifest.
file(READ ${SOURCE_DIR}/CMakeLists.txt top)
string(REGEX MATCH "project\\(png2zeq VERSION ([0-9.]+)" _ "${top}")
set(version ${CMAKE_MATCH_1})
string(REPLACE "." "\\." version_pattern "${version}")
file(READ ${SOURCE_DIR}/loader/library.json manifest)
string(JSON json_version ERROR_VARIABLE json_error GET "${manifest}" version)
file(STRINGS ${SOURCE_DIR}/loader/library.properties properties_version REGEX "^version=")
file(STRINGS ${SOURCE_DIR}/CHANGELOG.md newest REGEX "^## " LIMIT_COUNT 1)
foreach(stated "library.json ${json_version}" "library.properties ${properties_version}"
    "CHANGELOG.md's newest ${newest}")
  if(NOT stated MATCHES " (version=|## )?${version_pattern}( |$)")
    list(APPEND failures "${stated}: not the project's version ${version}")
  endif()
endforeach()
if(json_error)
  list(APPEND failures "loader/library.json: ${json_error}")
else()
  # The names in "headers" and "export"."include" (globs), each a match.
  string(JSON headers GET "${manifest}" headers)
  string(JSON exported GET "${manifest}" export include)
  string(REGEX MATCHALL "[^][\",\n ]+" names "${headers},${exported}")
  foreach(name IN LISTS names)
    file(GLOB found ${SOURCE_DIR}/loader/${name})
    if(NOT found)
      list(APPEND failures "loader/library.json: no file for '${name}'")
    endif()
  endforeach()
endif()

# Every loader file that can hold a comment names its licence on its first line.
file(GLOB_RECURSE loader_files ${SOURCE_DIR}/loader/*.[ch] ${SOURCE_DIR}/loader/*.ino
  ${SOURCE_DIR}/loader/*.properties ${SOURCE_DIR}/loader/CMakeLists.txt)
foreach(file IN LISTS loader_files)
  file(STRINGS ${file} first LIMIT_COUNT 1)
  if(NOT first MATCHES "SPDX-License-Identifier: MIT")
    list(APPEND failures "${file}: no SPDX-License-Identifier line at the top")
  endif()
endforeach()

if(failures)
  list(JOIN failures "\n" message)
  message(FATAL_ERROR "${message}")
endif()
