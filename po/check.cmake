# Fails when a text marked for translation under SOURCE_DIR has no non-empty entry in PO_FILE.
# cmake -DSOURCE_DIR=... -DPO_FILE=... -DWORK_DIR=... -DXGETTEXT=... -DMSGCMP=... -P check.cmake
set(OUTPUT ${WORK_DIR}/sources.pot)
file(MAKE_DIRECTORY ${WORK_DIR})
file(REMOVE ${OUTPUT})
include(${CMAKE_CURRENT_LIST_DIR}/extract.cmake)
file(SIZE ${OUTPUT} pot_size)
if(pot_size EQUAL 0)
  message(STATUS "no marked texts")
  return()
endif()
# msgcmp counts untranslated and fuzzy entries of PO_FILE as missing.
execute_process(COMMAND ${MSGCMP} --no-fuzzy-matching ${PO_FILE} ${OUTPUT}
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Texts without English translation in ${PO_FILE}:\n${err}")
endif()
message(STATUS "every marked text has an English entry")
