# Plays one golden case (format in README.md beside this script) in a scratch
# folder and compares output, exit status and the stories/ left behind.
#   cmake -DCASE=<case> -DWORK=<scratch> -Dorlimar=<exe> -Dorlimar-check=<exe>
#         [-DEMULATOR=wine] [-DCRLF=ON] -P run_case.cmake
# CRLF=ON: the program writes Windows text, whose CR LF compares as LF.
cmake_minimum_required(VERSION 3.25)
# WORK is the program's working folder; its stdout, stderr and status files
# sit beside stories/ as in the case's expected/ folder.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
if(IS_DIRECTORY "${CASE}/stories")
  file(COPY "${CASE}/stories" DESTINATION "${WORK}")
endif()
set(args orlimar)
if(EXISTS "${CASE}/command")
  file(STRINGS "${CASE}/command" args)
endif()
list(POP_FRONT args program)
set(wrapper "")  # valgrind, in the memcheck run
if(program STREQUAL "orlimar")
  separate_arguments(wrapper UNIX_COMMAND "$ENV{ORLIMAR_E2E_WRAPPER}")
endif()
set(program "${${program}}")  # the path given as -Dorlimar= or -Dorlimar-check=

# Runs the program on `keys`; sets `text` (its output, LF line ends),
# `status` and `listing`: the story menu, the first run of "N. name" lines.
function(play keys)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=NO_COLOR --unset=CLICOLOR --unset=CLICOLOR_FORCE
                          --unset=FORCE_COLOR --unset=COLORTERM --unset=TERM --unset=COLUMNS --unset=LINES
                          WINEDEBUG=-all -- ${EMULATOR} ${wrapper} "${program}" ${args}
                  WORKING_DIRECTORY "${WORK}" INPUT_FILE "${keys}" OUTPUT_VARIABLE text
                  ERROR_FILE "${WORK}/stderr" RESULT_VARIABLE status)
  if(CRLF)
    string(REPLACE "\r\n" "\n" text "${text}")
  endif()
  string(REGEX MATCH "\n([0-9]+\\. [^\n]*\n)+" listing "${text}")
  set(text "${text}" PARENT_SCOPE)
  set(status "${status}" PARENT_SCOPE)
  set(listing "${listing}" PARENT_SCOPE)
endfunction()

# {{name}} in the keys is the number the menu gives that story: a first run
# without keys shows the listing.
set(keys "")
if(EXISTS "${CASE}/keys")
  file(READ "${CASE}/keys" keys)
endif()
file(WRITE "${WORK}/keys" "")
if(keys MATCHES "{{")
  play("${WORK}/keys")
  string(REGEX MATCHALL "[0-9]+\\. [^\n]*\n" lines "${listing}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^([0-9]+)\\. ([^\n]*)\n$" "{{\\2}};\\1" pair "${line}")
    string(REPLACE ${pair} keys "${keys}")
  endforeach()
endif()
file(WRITE "${WORK}/keys" "${keys}")
play("${WORK}/keys")

# The listing is compared in name order, numbered from 1.
if(listing)
  string(REGEX MATCHALL "[0-9]+\\. [^\n]*" names "${listing}")
  list(TRANSFORM names REPLACE "^[0-9]+\\. " "")
  list(SORT names)
  set(sorted "\n")
  set(n 0)
  foreach(name IN LISTS names)
    math(EXPR n "${n} + 1")
    string(APPEND sorted "${n}. ${name}\n")
  endforeach()
  string(REPLACE "${listing}" "${sorted}" text "${text}")
endif()
file(WRITE "${WORK}/stdout" "${text}")
file(WRITE "${WORK}/status" "${status}\n")
file(GLOB_RECURSE left LIST_DIRECTORIES false RELATIVE "${WORK}" "${WORK}/stories/*")

set(expected "${CASE}/expected")
if("$ENV{ORLIMAR_GOLDEN_REFRESH}" STREQUAL "1")  # from a native build only
  file(REMOVE_RECURSE "${expected}")
  file(COPY "${WORK}/stdout" "${WORK}/stderr" "${WORK}/status" DESTINATION "${expected}")
  if(left)
    file(COPY "${WORK}/stories/" DESTINATION "${expected}/stories")
  endif()
  return()
endif()

# Same files in stories/, and every compared file with the same bytes.
file(GLOB_RECURSE wanted LIST_DIRECTORIES false RELATIVE "${expected}" "${expected}/stories/*")
list(SORT wanted)
list(SORT left)
set(failed "")
if(NOT left STREQUAL wanted)
  set(failed "stories/ holds [${left}]")
endif()
set(eol "")
if(CRLF)
  set(eol --ignore-eol)
endif()
foreach(file stdout stderr status ${wanted})
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files ${eol} "${expected}/${file}" "${WORK}/${file}"
                  RESULT_VARIABLE different)
  if(different)
    list(APPEND failed "${file}")
    execute_process(COMMAND diff -u "${expected}/${file}" "${WORK}/${file}")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "${CASE}: differs in ${failed}")
endif()
