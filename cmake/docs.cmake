# The API reference: Doxygen over the installed headers (HURZ_PUBLIC_HEADERS), with the README as its
# main page and the pages of docs/ it links to, into docs/html of the build folder, by the target `docs` (`make docs`). The test
# ApiReference.EveryPublicCommandIsDocumented makes it afresh and fails on any undocumented command,
# type or constant, and on a header without its \file comment (whose commands Doxygen would skip
# without a word).
#
# Run as a script (cmake -P) with DOXYGEN and DOXYFILE, it makes the reference that DOXYFILE
# describes and checks it; DOXYFILE.headers lists the headers, one a line.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_policy(VERSION 3.20)
  if(NOT DOXYGEN)
    message(FATAL_ERROR "Doxygen is not installed (Debian's doxygen; scripts/setup.sh installs it)")
  endif()
  file(STRINGS ${DOXYFILE}.headers headers)
  file(STRINGS ${DOXYFILE} output REGEX "^OUTPUT_DIRECTORY")
  string(REGEX REPLACE "^OUTPUT_DIRECTORY *= *" "" output "${output}")
  file(MAKE_DIRECTORY ${output})
  set(problems)
  foreach(header ${headers})
    file(STRINGS ${header} marks REGEX "^/// \\\\file$")
    if(NOT marks)
      string(APPEND problems "${header}: no \"/// \\file\" comment, so none of its commands would be documented\n")
    endif()
  endforeach()
  execute_process(COMMAND ${DOXYGEN} ${DOXYFILE} RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(NOT result EQUAL 0)
    file(READ ${output}/warnings.txt warnings)
    string(APPEND problems "${warnings}")
  endif()
  if(problems)
    message(FATAL_ERROR "The API reference is incomplete:\n${problems}")
  endif()
  list(LENGTH headers count)
  message(STATUS "Every command, type and constant of the ${count} public headers is documented: "
                 "${output}/html/index.html")
  return()
endif()

find_program(HURZ_DOXYGEN doxygen)
set(docs_headers)
foreach(header ${HURZ_PUBLIC_HEADERS})
  list(APPEND docs_headers ${CMAKE_SOURCE_DIR}/runtime/${header})
endforeach()

# A Doxyfile writing into `output`, and the list of headers it reads beside it.
function(hurz_doxyfile output file)
  set(HURZ_DOCS_OUTPUT ${output})
  set(HURZ_DOCS_MAIN_PAGE ${CMAKE_SOURCE_DIR}/README.md)
  file(GLOB pages ${CMAKE_SOURCE_DIR}/docs/*.md)
  string(REPLACE ";" " " HURZ_DOCS_PAGES "${pages}")
  string(REPLACE ";" " " HURZ_DOCS_HEADERS "${docs_headers}")
  configure_file(${CMAKE_SOURCE_DIR}/docs/Doxyfile.in ${file} @ONLY)
  string(REPLACE ";" "\n" lines "${docs_headers}")
  file(WRITE ${file}.headers "${lines}\n")
endfunction()

hurz_doxyfile(${CMAKE_BINARY_DIR}/docs ${CMAKE_BINARY_DIR}/Doxyfile)
add_custom_target(docs
  COMMAND ${CMAKE_COMMAND} -DDOXYGEN=${HURZ_DOXYGEN} -DDOXYFILE=${CMAKE_BINARY_DIR}/Doxyfile
    -P ${CMAKE_CURRENT_LIST_FILE} VERBATIM)

if(HURZ_TESTS)
  hurz_doxyfile(${CMAKE_BINARY_DIR}/tests/docs-check ${CMAKE_BINARY_DIR}/tests/Doxyfile)
  add_test(NAME ApiReference.EveryPublicCommandIsDocumented
    COMMAND ${CMAKE_COMMAND} -DDOXYGEN=${HURZ_DOXYGEN} -DDOXYFILE=${CMAKE_BINARY_DIR}/tests/Doxyfile
      -P ${CMAKE_CURRENT_LIST_FILE})
endif()
