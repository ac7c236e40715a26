# Puts the page's style, its script and the engine (ENGINE, one JavaScript
# file) into the page template of SOURCE, writing OUTPUT. The engine is
# embedded as it is, so it must not close its script element.
file(READ ${SOURCE}/player.html page)
file(READ ${SOURCE}/player.css style)
file(READ ${SOURCE}/player.js script)
file(READ ${ENGINE} engine)
foreach(part IN ITEMS engine script)
  string(FIND "${${part}}" "</script" closing)
  if(NOT closing EQUAL -1)
    message(FATAL_ERROR "the ${part} holds \"</script\": it cannot be embedded in the page as it is")
  endif()
endforeach()
string(REPLACE "@ORLIMAR_STYLE@" "${style}" page "${page}")
string(REPLACE "@ORLIMAR_PAGE@" "${script}" page "${page}")
string(REPLACE "@ORLIMAR_ENGINE@" "${engine}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
