# The API reference: Doxygen over the installed headers (HURZ_PUBLIC_HEADERS), with the README as its
# main page and the pages of docs/ it links to, into docs/html of the build folder, by the target `docs` (`make docs`). The test
# ApiReference.EveryPublicCommandIsDocumented makes it afresh and fails on any undocumented command,
# type or constant, and on a header without its \file comment (whose commands Doxygen would skip
# without a word).
#
# Run as a script (cmake -P) with DOXYGEN, the headers (HEADERS) and the output folder (OUTPUT,
# which holds the Doxyfile that reads those headers), it makes the reference and checks it.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_policy(VERSION 3.20)
  if(NOT DOXYGEN)
    message(FATAL_ERROR "Doxygen is not installed (Debian's doxygen; scripts/setup.sh installs it)")
  endif()
  file(MAKE_DIRECTORY ${OUTPUT})
  set(problems)
  foreach(header ${HEADERS})
    file(STRINGS ${header} marks REGEX "^/// \\\\file$")
    if(NOT marks)
      string(APPEND problems "${header}: no \"/// \\file\" comment, so none of its commands would be documented\n")
    endif()
  endforeach()
  execute_process(COMMAND ${DOXYGEN} ${OUTPUT}/Doxyfile RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(NOT result EQUAL 0)
    file(READ ${OUTPUT}/warnings.txt warnings)
    string(APPEND problems "${warnings}")
  endif()
  if(problems)
    message(FATAL_ERROR "The API reference is incomplete:\n${problems}")
  endif()
  list(LENGTH HEADERS count)
  message(STATUS "Every command, type and constant of the ${count} public headers is documented: "
                 "${OUTPUT}/html/index.html")
  return()
endif()

find_program(HURZ_DOXYGEN doxygen)
set(docs_headers)
foreach(header ${HURZ_PUBLIC_HEADERS})
  list(APPEND docs_headers ${CMAKE_SOURCE_DIR}/runtime/${header})
endforeach()

# A Doxyfile that reads the headers and writes into `output`, in `output`.
function(hurz_doxyfile output)
  set(HURZ_DOCS_OUTPUT ${output})
  set(HURZ_DOCS_MAIN_PAGE ${CMAKE_SOURCE_DIR}/README.md)
  file(GLOB pages ${CMAKE_SOURCE_DIR}/docs/*.md)
  string(REPLACE ";" " " HURZ_DOCS_PAGES "${pages}")
  string(REPLACE ";" " " HURZ_DOCS_HEADERS "${docs_headers}")
  configure_file(${CMAKE_SOURCE_DIR}/docs/Doxyfile.in ${output}/Doxyfile @ONLY)
endfunction()

hurz_doxyfile(${CMAKE_BINARY_DIR}/docs)
add_custom_target(docs
  COMMAND ${CMAKE_COMMAND} -DDOXYGEN=${HURZ_DOXYGEN} -DOUTPUT=${CMAKE_BINARY_DIR}/docs
    "-DHEADERS=${docs_headers}" -P ${CMAKE_CURRENT_LIST_FILE} VERBATIM)

if(HURZ_TESTS)
  hurz_doxyfile(${CMAKE_BINARY_DIR}/tests/docs-check)
  add_test(NAME ApiReference.EveryPublicCommandIsDocumented
    COMMAND ${CMAKE_COMMAND} -DDOXYGEN=${HURZ_DOXYGEN} -DOUTPUT=${CMAKE_BINARY_DIR}/tests/docs-check
      "-DHEADERS=${docs_headers}" -P ${CMAKE_CURRENT_LIST_FILE})
endif()
