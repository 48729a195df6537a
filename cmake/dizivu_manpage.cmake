# Writes the manual page of dizivu-cli from its --help text (cmake -P, at build time):
#   -DCLI=<dizivu-cli> -DOUT=<file.1> -DVERSION=<version>
# A line "Heading:" at the left margin opens a section; the first line is
# "NAME - what it is"; everything else is kept as it is laid out.
cmake_policy(SET CMP0007 NEW) # empty lines stay in the list

execute_process(COMMAND "${CLI}" --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${CLI} --help failed (${rc})")
endif()

# Backslashes written as roff's escape, minus signs as minus signs (options stay copyable),
# and the list separator out of the way while the text is split into lines.
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REPLACE ";" "@SEMICOLON@" help "${help}")
string(REPLACE "\n" ";" lines "${help}")

list(POP_FRONT lines title)
string(REPLACE "@SEMICOLON@" ";" name_line "${title}")

set(page ".TH DIZIVU-CLI 1 \"\" \"dizivu ${VERSION}\" \"User Commands\"\n.SH NAME\n${name_line}\n")
set(open FALSE)
foreach(line IN LISTS lines)
  string(REPLACE "@SEMICOLON@" ";" line "${line}")
  if(line MATCHES "^([A-Za-z][A-Za-z ]*):$")
    if(open)
      string(APPEND page ".fi\n")
    endif()
    string(TOUPPER "${CMAKE_MATCH_1}" heading)
    string(APPEND page ".SH ${heading}\n.nf\n")
    set(open TRUE)
  elseif(line STREQUAL "")
    if(open)
      string(APPEND page "\n")
    endif()
  else()
    # A line starting with "." or "'" would be read as a request.
    string(REGEX REPLACE "^([.'])" "\\\\&\\1" line "${line}")
    string(APPEND page "${line}\n")
  endif()
endforeach()
if(open)
  string(APPEND page ".fi\n")
endif()
file(WRITE "${OUT}" "${page}")
