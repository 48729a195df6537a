# Fails when an include points against the layer order of the sources:
#   link <- commands <- app <- ui <- screen folders <- shell
# (an include may name only its own folder or one further left), when a screen folder
# includes another screen folder, and when the widget-free command-line program or the
# emulator includes a widget layer.
# Run as: cmake -DSOURCE_DIR=<project> -P check_layers.cmake

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()

set(rank_link 0)
set(rank_commands 1)
set(rank_app 2)
set(rank_ui 3)
set(SCREEN_FOLDERS scripts sales reports config fiscal tools network)
foreach(f ${SCREEN_FOLDERS})
  set(rank_${f} 4)
endforeach()
set(rank_shell 5)
# The programs outside src/: what each may reach.
set(rank_cli 4)        # operations of every screen folder, never ui or shell
set(rank_emulator 1)   # the command codes only

set(violations "")
set(checked 0)

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp
  ${SOURCE_DIR}/cli/*.h ${SOURCE_DIR}/cli/*.cpp
  ${SOURCE_DIR}/emulator/*.h ${SOURCE_DIR}/emulator/*.cpp)

foreach(rel ${sources})
  string(REGEX REPLACE "^src/" "" inner "${rel}")
  string(REGEX MATCH "^[^/]+" folder "${inner}")
  if(NOT DEFINED rank_${folder})
    list(APPEND violations "${rel}: folder '${folder}' has no place in the layer order")
    continue()
  endif()
  set(my_rank ${rank_${folder}})
  file(STRINGS ${SOURCE_DIR}/${rel} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line ${lines})
    string(REGEX MATCH "\"([^\"]+)\"" _ "${line}")
    set(target "${CMAKE_MATCH_1}")
    if(NOT target MATCHES "/")
      continue()
    endif()
    string(REGEX MATCH "^[^/]+" tfolder "${target}")
    if(tfolder STREQUAL folder)
      continue()
    endif()
    math(EXPR checked "${checked} + 1")
    if(NOT DEFINED rank_${tfolder})
      list(APPEND violations "${rel}: includes ${target} from outside the layers")
      continue()
    endif()
    set(their_rank ${rank_${tfolder}})
    if(folder STREQUAL "cli" AND (tfolder STREQUAL "ui" OR tfolder STREQUAL "shell"))
      list(APPEND violations "${rel}: the command-line program includes the widget layer ${target}")
    elseif(folder STREQUAL "emulator" AND NOT target STREQUAL "commands/command_codes.h")
      list(APPEND violations "${rel}: the emulator keeps its own frame code but includes ${target}")
    elseif(their_rank GREATER my_rank)
      list(APPEND violations "${rel}: includes ${target}, a higher layer")
    elseif(their_rank EQUAL 4 AND my_rank EQUAL 4 AND NOT folder STREQUAL "cli")
      list(APPEND violations "${rel}: screen folder ${folder} includes screen folder ${tfolder} (${target})")
    endif()
  endforeach()
endforeach()

list(LENGTH violations count)
if(count GREATER 0)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "${count} include(s) against the layer order:\n  ${text}")
endif()
message(STATUS "layers hold: ${checked} includes across folders checked")
