# Keeps the documentation honest. Run as
#   cmake -DSOURCE_DIR=<repository> -P docs_check.cmake
# (a) every relative link in the Markdown pages names an existing file (anchors
#     are not checked); (b) every option in a tool's own option table is
#     described in the OPTIONS section of its manual page; (c) every option of
#     zeq2png's table is shown in its usage text.
file(GLOB pages ${SOURCE_DIR}/README.md ${SOURCE_DIR}/CONTRIBUTING.md ${SOURCE_DIR}/docs/*.md
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

# zeq2png's usage text is the string PrintZeq2PngUsage() prints; it shows
# each option by its full name (a one-letter name is an abbreviation), and
# -h|?|help there reads as -h -? -help.
file(READ ${SOURCE_DIR}/tools/zeq2png/command_line.cpp source)
string(REGEX MATCH "void PrintZeq2PngUsage[^}]*}" usage "${source}")
string(REGEX REPLACE "\\|-?" " -" usage "${usage}")
string(REGEX REPLACE "[^-A-Za-z0-9?]" " " usage " ${usage} ")
string(REGEX MATCH "kOptions\\[\\] = {[^;]*};" table "${source}")
string(REGEX MATCHALL "{\"[^\"][^\"]+" names "${table}")
foreach(name IN LISTS names)
  string(SUBSTRING "${name}" 2 -1 name)
  string(FIND "${usage}" " -${name} " found)
  if(found EQUAL -1)
    list(APPEND failures "tools/zeq2png/command_line.cpp: option -${name} is not in the usage text")
  endif()
endforeach()

if(failures)
  list(JOIN failures "\n" message)
  message(FATAL_ERROR "${message}")
endif()
