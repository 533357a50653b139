# Cuts the user guide into the help texts of the wizard's pages, so that the
# guide stays their one source. A page's part stands between the lines
# "<!-- F1: strona N -->" and "<!-- F1: koniec -->"; its first heading is the
# help window's title, the rest its text. Writes a C++ table of raw strings.
#
#   cmake -DGUIDE=docs/PODRECZNIK.md -DOUTPUT=guide_sections.cpp -P guide_sections.cmake
cmake_minimum_required(VERSION 3.20)
file(READ "${GUIDE}" guide)
string(REPLACE "\r" "" guide "${guide}")
set(begin_mark "<!-- F1: strona ")
set(end_mark "<!-- F1: koniec -->")
set(delimiter "qmguide")
set(table "")
set(pages "")
while(TRUE)
  string(FIND "${guide}" "${begin_mark}" at)
  if(at EQUAL -1)
    break()
  endif()
  string(LENGTH "${begin_mark}" mark_length)
  math(EXPR number_at "${at} + ${mark_length}")
  string(SUBSTRING "${guide}" ${number_at} -1 guide)
  string(FIND "${guide}" "\n" line_end)
  string(SUBSTRING "${guide}" 0 ${line_end} marker_rest)
  string(REGEX MATCH "^[0-9]+" page "${marker_rest}")
  if(page STREQUAL "")
    message(FATAL_ERROR "${GUIDE}: a help mark without its page number")
  endif()
  math(EXPR body_at "${line_end} + 1")
  string(SUBSTRING "${guide}" ${body_at} -1 guide)
  string(FIND "${guide}" "${end_mark}" body_end)
  if(body_end EQUAL -1)
    message(FATAL_ERROR "${GUIDE}: the help of page ${page} has no end mark")
  endif()
  string(SUBSTRING "${guide}" 0 ${body_end} body)
  string(SUBSTRING "${guide}" ${body_end} -1 guide)
  # The first heading is the title; what follows it is the text.
  string(REGEX MATCH "#+ [^\n]*" heading "${body}")
  if(heading STREQUAL "")
    message(FATAL_ERROR "${GUIDE}: the help of page ${page} has no heading")
  endif()
  string(FIND "${body}" "${heading}" heading_at)
  string(LENGTH "${heading}" heading_length)
  math(EXPR text_at "${heading_at} + ${heading_length}")
  string(SUBSTRING "${body}" ${text_at} -1 text)
  string(REGEX REPLACE "^#+ " "" title "${heading}")
  string(FIND "${text}" ")${delimiter}\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${GUIDE}: the help of page ${page} holds the string delimiter")
  endif()
  string(APPEND table "    {${page}, R\"${delimiter}(${title})${delimiter}\",\n     R\"${delimiter}(${text})${delimiter}\"},\n")
  list(APPEND pages ${page})
endwhile()
foreach(page 1 2 3 4)
  if(NOT page IN_LIST pages)
    message(FATAL_ERROR "${GUIDE}: no help for page ${page}")
  endif()
endforeach()
file(WRITE "${OUTPUT}" "// Made by cmake/guide_sections.cmake from the user guide; edit the guide.
#include \"driver/guide_sections.h\"

namespace qm {

const GuideSection kGuideSections[] = {
${table}};
const size_t kGuideSectionCount = sizeof kGuideSections / sizeof kGuideSections[0];

}  // namespace qm
")
