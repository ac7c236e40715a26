# Runs the built orlimar-check on story files written here and checks what it
# prints and the exit status it returns.
#
#   cmake -DCHECKER=path/to/orlimar-check -DWORK_DIR=scratch [-DEMULATOR=wine]
#         -P orlimar_check_end_to_end.cmake

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

function(run_checker out_status out_stdout)
  execute_process(COMMAND ${EMULATOR} "${CHECKER}" ${ARGN}
                  WORKING_DIRECTORY "${WORK_DIR}"
                  RESULT_VARIABLE status
                  OUTPUT_VARIABLE stdout
                  ERROR_VARIABLE stderr)
  set(${out_status} "${status}" PARENT_SCOPE)
  set(${out_stdout} "${stdout}" PARENT_SCOPE)
endfunction()

function(expect_equal what actual expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}:\n--- expected ---\n${expected}\n--- got ---\n${actual}")
  endif()
endfunction()

# A clean story.
file(WRITE "${WORK_DIR}/propre.txt" "# Section 0\n[Choix]\nPartir -> Section : 1\n\n# Section 1\n[Fin]\n")
run_checker(status stdout propre.txt)
expect_equal("clean story status" "${status}" "0")
expect_equal("clean story output" "${stdout}" "propre.txt: 0 erreur, 0 avertissement\n")

# A mistaken story: a target that does not parse (leading back to section 0)
# and the unreachable section it meant.
file(WRITE "${WORK_DIR}/fautive.txt"
     "# Section 0\n[Choix]\nPartir ->Section : 1\nRester -> Section : -1\n\n# Section 1\n[Fin]\n")
run_checker(status stdout fautive.txt propre.txt)
expect_equal("mistaken story status" "${status}" "2")
string(CONCAT expected
  "fautive.txt:3: erreur: cible du choix illisible : après « -> », le jeu saute « S » puis attend « Section : N » ; ce choix mène à la section 0\n"
  "fautive.txt:6: avertissement: la section 1 est inaccessible : aucun chemin depuis la section 0 n'y mène\n"
  "fautive.txt: 1 erreur, 1 avertissement\n"
  "propre.txt: 0 erreur, 0 avertissement\n")
expect_equal("mistaken story output" "${stdout}" "${expected}")

# The story map.
run_checker(status stdout --dot propre.txt)
expect_equal("map status" "${status}" "0")
string(FIND "${stdout}" "\"s0\" -> \"s1\" [label=\"Partir\"];" edge)
if(edge EQUAL -1)
  message(FATAL_ERROR "map without the edge 0 -> 1:\n${stdout}")
endif()

# No file: usage and status 2.
run_checker(status stdout)
expect_equal("usage status" "${status}" "2")
