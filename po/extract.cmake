# Collects every text marked with Tr, TrN or TrNoop under SOURCE_DIR into the template OUTPUT.
# cmake -DSOURCE_DIR=... -DOUTPUT=... -DXGETTEXT=... -P extract.cmake
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h)
list(SORT sources)
execute_process(
  COMMAND ${XGETTEXT} --from-code=UTF-8 --language=C++ --keyword= --keyword=Tr --keyword=TrN:1,2
          --keyword=TrNoop --add-comments=TRANSLATORS: --sort-by-file --package-name=SarvikControl
          --output=${OUTPUT} ${sources}
  WORKING_DIRECTORY ${SOURCE_DIR}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "xgettext failed (${rc})")
endif()
if(NOT EXISTS ${OUTPUT})
  # xgettext writes nothing when there are no marked texts at all.
  file(WRITE ${OUTPUT} "")
endif()
