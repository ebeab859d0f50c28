# The size of every record the public headers share, as one compilation sees it: a program and the
# library must agree on each, or they read each other's records at the wrong places. The library's
# build writes its sizes to a list; the package test compiles the same records as a program on the
# installed package does and compares.
#
# Included: hurz_record_sizes(TARGET ROOT OUTPUT|EXPECTED LIST HEADERS...) makes an object library
# TARGET of one generated source holding each record's size as a text "HURZ_RECORD[name=size]"
# (the caller gives it the compilation's flags), and a target TARGET_check that, built by default,
# reads the sizes back and either writes them to LIST (OUTPUT) or compares them with LIST
# (EXPECTED), failing on any difference. Run as a script (cmake -P) with OBJECTS and OUTPUT or
# EXPECTED, it does that step.

# The records a header defines at its top level (struct NAME { or struct NAME : BASE {) and the
# types of the records it shares (extern TYPE NAME;).
function(hurz_header_records header out)
  file(STRINGS ${header} lines REGEX "^(struct [A-Za-z_0-9]+( : [^{]*)? {|extern [A-Za-z_0-9:]+ [A-Za-z_0-9]+;)")
  set(records)
  foreach(line ${lines})
    if(line MATCHES "^struct ([A-Za-z_0-9]+)")
      list(APPEND records ${CMAKE_MATCH_1})
    elseif(line MATCHES "^extern ([A-Za-z_0-9:]+) ")
      list(APPEND records ${CMAKE_MATCH_1})
    endif()
  endforeach()
  set(${out} ${records} PARENT_SCOPE)
endfunction()

function(hurz_record_sizes target root mode list)
  set(includes)
  set(records)
  foreach(header ${ARGN})
    string(APPEND includes "#include \"${header}\"\n")
    hurz_header_records(${root}/${header} found)
    list(APPEND records ${found})
  endforeach()
  list(REMOVE_DUPLICATES records)
  list(SORT records)
  set(entries)
  foreach(record ${records})
    string(APPEND entries "HURZ_RECORD(${record})\n")
  endforeach()
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT [=[
// Generated: the size of every record the public headers define or share, as this compilation sees
// it, each as the text "HURZ_RECORD[name=size]" in the object file.
#include <cstddef>
@includes@
namespace {
template <size_t N>
struct SizeText {
  char text[N + 24];
};
template <size_t N>
constexpr SizeText<N> MakeSizeText(const char (&name)[N], size_t size) {
  SizeText<N> out{};
  const char prefix[] = "HURZ_RECORD[";
  size_t at = 0;
  for (size_t i = 0; prefix[i]; ++i) out.text[at++] = prefix[i];
  for (size_t i = 0; i + 1 < N; ++i) out.text[at++] = name[i];
  out.text[at++] = '=';
  for (size_t scale = 10000000; scale; scale /= 10) out.text[at++] = char('0' + size / scale % 10);
  out.text[at++] = ']';
  return out;
}
}  // namespace
#define HURZ_RECORD(name) \
  extern const auto kRecordSize_##name = MakeSizeText(#name, sizeof(name));
@entries@
]=] @ONLY)
  add_library(${target} OBJECT ${source})
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}.stamp)
  set(inputs)
  if(mode STREQUAL "EXPECTED")
    set(inputs ${list})
  endif()
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} "-DOBJECTS=$<TARGET_OBJECTS:${target}>" -D${mode}=${list}
      -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${target} $<TARGET_OBJECTS:${target}> ${CMAKE_CURRENT_FUNCTION_LIST_FILE} ${inputs} VERBATIM)
  add_custom_target(${target}_check ALL DEPENDS ${stamp})
endfunction()

# Script mode: the sizes found in the object file, as lines "name=size".
function(hurz_read_record_sizes object out)
  file(STRINGS ${object} found REGEX "HURZ_RECORD\\[[A-Za-z_0-9:]+=[0-9]+\\]")
  set(sizes)
  foreach(text ${found})
    string(REGEX MATCH "HURZ_RECORD\\[([A-Za-z_0-9:]+)=0*([0-9]+)\\]" _ "${text}")
    list(APPEND sizes "${CMAKE_MATCH_1}=${CMAKE_MATCH_2}")
  endforeach()
  list(SORT sizes)
  set(${out} ${sizes} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND OBJECTS)
  cmake_policy(VERSION 3.20)
  hurz_read_record_sizes(${OBJECTS} sizes)
  if(OUTPUT)
    list(JOIN sizes "\n" text)
    file(WRITE ${OUTPUT} "${text}\n")
  elseif(EXPECTED)
    file(STRINGS ${EXPECTED} expected)
    # name=size lists as names, and a variable size_NAME for each.
    foreach(side library program)
      set(${side}_names)
    endforeach()
    foreach(entry ${expected})
      string(REGEX MATCH "^([^=]+)=([0-9]+)$" _ "${entry}")
      list(APPEND library_names ${CMAKE_MATCH_1})
      set(library_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    endforeach()
    foreach(entry ${sizes})
      string(REGEX MATCH "^([^=]+)=([0-9]+)$" _ "${entry}")
      list(APPEND program_names ${CMAKE_MATCH_1})
      set(program_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    endforeach()
    set(problems)
    foreach(name ${library_names})
      if(NOT name IN_LIST program_names)
        string(APPEND problems "  ${name}: ${library_${name}} bytes in the library, unknown to a program\n")
      elseif(NOT library_${name} EQUAL program_${name})
        string(APPEND problems "  ${name}: ${library_${name}} bytes in the library, ${program_${name}} in a program\n")
      endif()
    endforeach()
    foreach(name ${program_names})
      if(NOT name IN_LIST library_names)
        string(APPEND problems "  ${name}: ${program_${name}} bytes in a program, unknown to the library's list\n")
      endif()
    endforeach()
    if(problems)
      message(FATAL_ERROR "A program on the package and the library disagree about the records they share:\n"
                          "${problems}")
    endif()
    list(LENGTH program_names count)
    message(STATUS "${count} shared records have the same size in the library and in a program")
  endif()
endif()
