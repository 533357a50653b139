# Writes the package's copyright file in Debian's machine-readable form from
# the licence in the tree, so that LICENSE stays the text's one source: the
# holder from its "Copyright (c)" line, the terms from what follows it, each
# line indented by one blank and empty lines written as " .".
#
#   cmake -DLICENSE=LICENSE -DCONTACT="team <address>" -DOUTPUT=copyright -P debian_copyright.cmake
cmake_minimum_required(VERSION 3.20)
file(STRINGS "${LICENSE}" lines)
set(holder "")
set(terms "")
set(started FALSE)
foreach(line IN LISTS lines)
  if(NOT holder STREQUAL "")
    if(line STREQUAL "" AND NOT started)
      continue()
    endif()
    set(started TRUE)
    if(line STREQUAL "")
      string(APPEND terms " .\n")
    else()
      string(APPEND terms " ${line}\n")
    endif()
  elseif(line MATCHES "^Copyright \\(c\\) (.+)$")
    set(holder "${CMAKE_MATCH_1}")
  endif()
endforeach()
if(holder STREQUAL "" OR terms STREQUAL "")
  message(FATAL_ERROR "${LICENSE}: no \"Copyright (c)\" line followed by the terms")
endif()
file(WRITE "${OUTPUT}" "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: qm19-20
Upstream-Contact: ${CONTACT}

Files: *
Copyright: ${holder}
License: Expat

License: Expat
${terms}")
