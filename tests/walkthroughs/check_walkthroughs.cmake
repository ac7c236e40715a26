# Types the keys of every walkthrough that `orlimar-check --parcours` records
# for a story into the real orlimar, with the story alone in a scratch
# stories/ folder, and compares what the game writes with the output the
# recording holds, byte for byte (and without colours for --sans-couleur).
# The keys must be the ones the walkthrough prints. Also checks that the
# checker left nothing beside the story.
#
#   cmake -DSTORY=<story file> -DWORK=<scratch folder> -DORLIMAR=<orlimar>
#         -DCHECKER=<orlimar-check> [-DEMULATOR=wine] [-DCRLF=ON] -P check_walkthroughs.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/author")
get_filename_component(name "${STORY}" NAME)
file(COPY "${STORY}" DESTINATION "${WORK}/author")
string(ASCII 27 esc)
set(eol "")
if(CRLF)
  set(eol --ignore-eol)
endif()

function(fail message)
  message(FATAL_ERROR "${STORY}: ${message}")
endfunction()

function(check_walkthroughs out_var)
  execute_process(COMMAND ${EMULATOR} "${CHECKER}" ${ARGN} WORKING_DIRECTORY "${WORK}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
  if(NOT status EQUAL 0 OR NOT stderr STREQUAL "")
    fail("orlimar-check ${ARGN}: status ${status}\n${stderr}")
  endif()
  string(REPLACE "\r\n" "\n" stdout "${stdout}")
  set(${out_var} "${stdout}" PARENT_SCOPE)
endfunction()

# The keys and the output of the recording `file`, which must name the story
# and start at the story menu, with colours or without as `colours` says.
function(read_recording file colours keys_var output_var)
  file(READ "${file}" text)
  string(FIND "${text}" "\nsortie : " field)
  if(field EQUAL -1)
    fail("${file}: no output")
  endif()
  string(SUBSTRING "${text}" 0 ${field} head)
  math(EXPR field "${field} + 1")
  string(SUBSTRING "${text}" ${field} -1 tail)
  string(FIND "${tail}" "\n" end)
  math(EXPR end "${end} + 1")
  string(SUBSTRING "${tail}" ${end} -1 output)
  string(LENGTH "${output}" size)
  set(header "Partie enregistrée par orlimar-check [^\n]*\nhistoire : \\.\\./author/${name}\n")
  string(APPEND header "départ : menu des histoires\ncouleurs : ${colours}\ntouches : [0-9]+ lignes?\n")
  if(NOT "${head}\n" MATCHES "^${header}(.*)$")
    fail("${file}: not the recording of a walkthrough of ${name} (colours: ${colours})")
  endif()
  set(${keys_var} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  if(NOT tail MATCHES "^sortie : ${size} octets?\n")
    fail("${file}: the output is not of the size announced")
  endif()
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

# Compares the transcript `expected` with the game's output in the file `actual`.
function(compare expected actual)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files ${eol} "${expected}" "${actual}" RESULT_VARIABLE differs)
  if(differs)
    fail("the game's output ${actual} differs from ${expected}")
  endif()
endfunction()

# Options in either order give the same walkthroughs.
check_walkthroughs(walkthroughs --parcours "author/${name}" --transcription colour)
check_walkthroughs(plain_walkthroughs --sans-couleur --transcription plain --parcours "author/${name}")
if(NOT walkthroughs STREQUAL plain_walkthroughs)
  fail("--sans-couleur changed the walkthroughs:\n${walkthroughs}\n---\n${plain_walkthroughs}")
endif()
file(GLOB beside RELATIVE "${WORK}/author" "${WORK}/author/*")
if(NOT beside STREQUAL name)
  fail("files beside the story after the walkthroughs: ${beside}")
endif()

string(REGEX MATCHALL "[^\n]*\n" lines "${walkthroughs}")
set(played 0)
foreach(line IN LISTS lines)
  if(line MATCHES "inaccessible\n$")
    continue()
  endif()
  if(NOT line MATCHES "^author/[^:]+:([0-9]+): fin : .* avec les choix «([0-9 ]*)» ")
    fail("unexpected line: ${line}")
  endif()
  set(number "${CMAKE_MATCH_1}")
  string(REGEX REPLACE " +" "\n" walk_keys "1 ${CMAKE_MATCH_2} n n\n")  # the story, the walk, two noes

  # The recorded keys are the walkthrough's, up to the last question asked.
  set(game "${WORK}/game-${number}")
  read_recording("${WORK}/colour/fin-${number}.txt" oui keys expected)
  read_recording("${WORK}/plain/fin-${number}.txt" non plain_keys plain_expected)
  string(FIND "${walk_keys}" "${keys}" keys_at)
  if(NOT keys STREQUAL plain_keys OR NOT keys_at EQUAL 0)
    fail("the recorded keys of line ${number} are not the walkthrough's:\n${keys}---\n${walk_keys}")
  endif()
  file(WRITE "${game}/expected" "${expected}")
  file(WRITE "${game}/expected-plain" "${plain_expected}")

  # The game, with the story alone in its stories/ folder, typed the recorded keys.
  file(MAKE_DIRECTORY "${game}/stories")
  file(COPY "${STORY}" DESTINATION "${game}/stories")
  file(WRITE "${game}/keys" "${keys}")
  execute_process(COMMAND ${EMULATOR} "${ORLIMAR}" WORKING_DIRECTORY "${game}"
                  INPUT_FILE "${game}/keys" OUTPUT_FILE "${game}/stdout" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    fail("orlimar exited with ${status} on the walkthrough of line ${number}")
  endif()
  compare("${game}/expected" "${game}/stdout")
  file(READ "${game}/stdout" output)
  string(REGEX REPLACE "${esc}\\[[0-9;]*m" "" output "${output}")
  file(WRITE "${game}/stdout-plain" "${output}")
  compare("${game}/expected-plain" "${game}/stdout-plain")

  # The ending reached is of the kind the line names.
  string(FIND "${output}" "=== Fin de l'histoire ===" screen)
  set(no_screen_named "sans écran de fin|: fin : -1 atteint")
  if(screen EQUAL -1 AND NOT line MATCHES "${no_screen_named}" OR NOT screen EQUAL -1 AND line MATCHES "${no_screen_named}")
    fail("the game did not show the kind of ending line ${number} names: ${line}")
  endif()
  math(EXPR played "${played} + 1")
endforeach()

file(GLOB transcripts "${WORK}/colour/*")
list(LENGTH transcripts written)
if(played EQUAL 0 OR NOT written EQUAL played)
  fail("${played} walkthroughs played, ${written} transcripts written")
endif()
