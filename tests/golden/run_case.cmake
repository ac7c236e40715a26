# Plays one golden case with the real program in a scratch folder and
# compares standard output, standard error, exit status and the stories
# folder left behind with the case's expected/ folder, byte for byte.
# The case format is described in README.md beside this script.
#
#   cmake -DCASE=<case folder> -DWORK=<scratch folder> -DORLIMAR=<orlimar>
#         -DCHECKER=<orlimar-check> [-DEMULATOR=wine] [-DCRLF=ON] -P run_case.cmake
#
# CRLF=ON: the program writes CR LF line ends (Windows); they compare as LF.
# Environment: ORLIMAR_E2E_WRAPPER is a command put before orlimar (valgrind,
# for the memcheck run); ORLIMAR_GOLDEN_REFRESH=1 rewrites expected/ from
# this run instead of comparing.
cmake_minimum_required(VERSION 3.25)

set(work "${WORK}/work")  # the program's working folder; the rest of WORK is ours
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${work}")
string(ASCII 27 esc)

# --- the command --------------------------------------------------------------
set(program "${ORLIMAR}")
set(args "")
if(EXISTS "${CASE}/command")
  file(STRINGS "${CASE}/command" args)
  list(POP_FRONT args name)
  if(name STREQUAL "orlimar-check")
    set(program "${CHECKER}")
  elseif(NOT name STREQUAL "orlimar")
    message(FATAL_ERROR "${CASE}/command: unknown program '${name}'")
  endif()
endif()
set(wrapper "")
if(program STREQUAL ORLIMAR AND NOT "$ENV{ORLIMAR_E2E_WRAPPER}" STREQUAL "")
  separate_arguments(wrapper UNIX_COMMAND "$ENV{ORLIMAR_E2E_WRAPPER}")
endif()
# No colour or terminal hints from the caller's environment.
set(launcher "${CMAKE_COMMAND}" -E env --unset=NO_COLOR --unset=CLICOLOR --unset=CLICOLOR_FORCE
    --unset=FORCE_COLOR --unset=COLORTERM --unset=TERM --unset=COLUMNS --unset=LINES)
if(EMULATOR)
  list(APPEND launcher WINEDEBUG=-all)
endif()

function(play keys out err status_var)
  execute_process(COMMAND ${launcher} -- ${EMULATOR} ${wrapper} "${program}" ${args}
                  WORKING_DIRECTORY "${work}" INPUT_FILE "${keys}" OUTPUT_FILE "${out}" ERROR_FILE "${err}"
                  RESULT_VARIABLE status)
  set(${status_var} "${status}" PARENT_SCOPE)
endfunction()

# Reads a text file, CR LF read as LF when the program writes Windows text.
function(read_text file var)
  file(READ "${file}" text)
  if(CRLF)
    string(REPLACE "\r\n" "\n" text "${text}")
  endif()
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# The story menu's listing ("N. name" lines right after the selection banner)
# of `text`: sets <prefix>_start, <prefix>_length and <prefix>_lines.
function(find_listing text prefix)
  set(start -1)
  set(listing "")
  string(FIND "${text}" "${esc}[0m\n\n" banner_end)
  if(banner_end GREATER_EQUAL 0)
    math(EXPR start "${banner_end} + 6")
    string(SUBSTRING "${text}" ${start} -1 rest)
    string(REGEX MATCH "^([0-9]+\\. [^\n]*\n)+" listing "${rest}")
  endif()
  string(LENGTH "${listing}" length)
  string(REGEX MATCHALL "[0-9]+\\. [^\n]*\n" lines "${listing}")
  set(${prefix}_start ${start} PARENT_SCOPE)
  set(${prefix}_length ${length} PARENT_SCOPE)
  set(${prefix}_lines "${lines}" PARENT_SCOPE)
endfunction()

# --- the scratch folder and the keys -------------------------------------------
if(IS_DIRECTORY "${CASE}/stories")
  file(COPY "${CASE}/stories" DESTINATION "${work}")
endif()
set(keys "")
if(EXISTS "${CASE}/keys")
  file(READ "${CASE}/keys" keys)
endif()
# {{name}} in the keys stands for the number the story menu gives that story:
# a first run without keys shows the listing.
if(keys MATCHES "{{")
  file(WRITE "${WORK}/no-keys" "")
  play("${WORK}/no-keys" "${WORK}/listing.out" "${WORK}/listing.err" ignored)
  read_text("${WORK}/listing.out" listing_run)
  find_listing("${listing_run}" listed)
  foreach(line IN LISTS listed_lines)
    string(REGEX REPLACE "^([0-9]+)\\. ([^\n]*)\n$" "\\1" number "${line}")
    string(REGEX REPLACE "^([0-9]+)\\. ([^\n]*)\n$" "\\2" name "${line}")
    string(REPLACE "{{${name}}}" "${number}" keys "${keys}")
  endforeach()
  if(keys MATCHES "{{")
    message(FATAL_ERROR "keys name a story the menu does not list:\n${keys}\nlisting:\n${listing_run}")
  endif()
endif()
file(WRITE "${WORK}/keys" "${keys}")

# --- the run --------------------------------------------------------------------
play("${WORK}/keys" "${WORK}/stdout.raw" "${WORK}/stderr" status)

# The listing in name order, numbered from 1, whatever order the folder gave.
read_text("${WORK}/stdout.raw" stdout)
find_listing("${stdout}" listed)
if(listed_length GREATER 0)
  set(names "")
  foreach(line IN LISTS listed_lines)
    string(REGEX REPLACE "^[0-9]+\\. ([^\n]*)\n$" "\\1" name "${line}")
    list(APPEND names "${name}")
  endforeach()
  list(SORT names)
  set(sorted "")
  set(number 0)
  foreach(name IN LISTS names)
    math(EXPR number "${number} + 1")
    string(APPEND sorted "${number}. ${name}\n")
  endforeach()
  string(SUBSTRING "${stdout}" 0 ${listed_start} before)
  math(EXPR after_start "${listed_start} + ${listed_length}")
  string(SUBSTRING "${stdout}" ${after_start} -1 after)
  set(stdout "${before}${sorted}${after}")
endif()
file(WRITE "${WORK}/stdout" "${stdout}")
file(WRITE "${WORK}/status" "${status}\n")

set(expected "${CASE}/expected")
file(GLOB_RECURSE left LIST_DIRECTORIES false RELATIVE "${work}/stories" "${work}/stories/*")
list(SORT left)

# --- refresh ----------------------------------------------------------------------
if("$ENV{ORLIMAR_GOLDEN_REFRESH}" STREQUAL "1")
  if(EMULATOR OR CRLF OR wrapper)
    message(FATAL_ERROR "refresh expected files from a native run without a wrapper")
  endif()
  file(REMOVE_RECURSE "${expected}")
  file(MAKE_DIRECTORY "${expected}")
  file(COPY "${WORK}/stdout" "${WORK}/stderr" "${WORK}/status" DESTINATION "${expected}")
  if(NOT left STREQUAL "")
    file(COPY "${work}/stories/" DESTINATION "${expected}/stories")
  endif()
  message(STATUS "refreshed ${expected}")
  return()
endif()

# --- comparison --------------------------------------------------------------------
set(failures "")
find_program(diff_program diff)
function(compare what expected_file actual_file)
  set(eol "")
  if(CRLF)
    set(eol --ignore-eol)
  endif()
  if(NOT EXISTS "${expected_file}")
    set(result 1)
  else()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files ${eol} "${expected_file}" "${actual_file}"
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(NOT result EQUAL 0)
    message("== ${what} differs: expected ${expected_file}, got ${actual_file}")
    if(diff_program AND EXISTS "${expected_file}")
      execute_process(COMMAND "${diff_program}" -u "${expected_file}" "${actual_file}")
    endif()
    set(failures "${failures} ${what}" PARENT_SCOPE)
  endif()
endfunction()

compare(stdout "${expected}/stdout" "${WORK}/stdout")
compare(stderr "${expected}/stderr" "${WORK}/stderr")
compare(status "${expected}/status" "${WORK}/status")

# The stories folder left behind: the same files, each with the same bytes.
file(GLOB_RECURSE wanted LIST_DIRECTORIES false RELATIVE "${expected}/stories" "${expected}/stories/*")
list(SORT wanted)
if(NOT left STREQUAL wanted)
  message("== stories/ holds [${left}], expected [${wanted}]")
  set(failures "${failures} stories")
endif()
foreach(file IN LISTS wanted)
  if(EXISTS "${work}/stories/${file}")
    compare("stories/${file}" "${expected}/stories/${file}" "${work}/stories/${file}")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "golden case ${CASE}: differs in${failures}")
endif()
