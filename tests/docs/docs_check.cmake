# Keeps the documentation honest. Run as
#   cmake -DSOURCE_DIR=<repository> -P docs_check.cmake
# (a) every relative link in the Markdown pages names an existing file (anchors
#     are not checked); (b) every option in a tool's own option table is
#     described in the OPTIONS section of its manual page; (c) every stated
#     version is the project's, and the PlatformIO manifest is valid JSON
#     whose every named file exists.
file(GLOB pages ${SOURCE_DIR}/README.md ${SOURCE_DIR}/CONTRIBUTING.md ${SOURCE_DIR}/CHANGELOG.md ${SOURCE_DIR}/docs/*.md
  ${SOURCE_DIR}/bench/README.md ${SOURCE_DIR}/examples/*/README.md ${SOURCE_DIR}/loader/README.md)
set(failures "")
foreach(page IN LISTS pages)
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
  foreach(name IN LISTS names)
    string(SUBSTRING "${name}" 2 -1 name)
    string(FIND "${section}" " \\-${name} " found)
    if(found EQUAL -1)
      list(APPEND failures "${man_page}: option -${name} of ${table_source} is not under OPTIONS")
    endif()
  endforeach()
endforeach()

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

if(failures)
  list(JOIN failures "\n" message)
  message(FATAL_ERROR "${message}")
endif()
