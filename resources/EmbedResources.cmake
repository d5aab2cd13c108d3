# Turns the resource script Tolvan.rc and the files it names into a C++
# source holding their bytes, so that the program carries its resources
# without a resource compiler. Run in script mode:
#   cmake -DRC=<Tolvan.rc> -DOUT=<EmbeddedResourceData.cpp> -P EmbedResources.cmake
get_filename_component(rc_dir "${RC}" DIRECTORY)
file(STRINGS "${RC}" rc_lines ENCODING UTF-8)

set(entries "")
set(data "")
set(count 0)

function(tolvan_bytes_to_array hex out_var)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n    " bytes "${bytes}")
  set(${out_var} "${bytes}" PARENT_SCOPE)
endfunction()

set(in_strings OFF)
foreach(line IN LISTS rc_lines)
  string(STRIP "${line}" line)
  set(kind "")
  if(line STREQUAL "BEGIN")
    set(in_strings ON)
  elseif(line STREQUAL "END")
    set(in_strings OFF)
  elseif(in_strings AND line MATCHES "^([0-9]+)[ \t]+\"(.*)\"$")
    set(kind STRING)
    set(id ${CMAKE_MATCH_1})
    string(HEX "${CMAKE_MATCH_2}" hex)
  elseif(line MATCHES "^([0-9]+)[ \t]+(BITMAP|ICON|CURSOR)[ \t]+\"(.*)\"$")
    set(kind ${CMAKE_MATCH_2})
    set(id ${CMAKE_MATCH_1})
    file(READ "${rc_dir}/${CMAKE_MATCH_3}" hex HEX)
  endif()
  if(kind)
    string(LENGTH "${hex}" hex_length)
    math(EXPR size "${hex_length} / 2")
    tolvan_bytes_to_array("${hex}" bytes)
    string(APPEND data "const unsigned char kData${count}[] = {\n    ${bytes}0};\n")
    string(SUBSTRING "${kind}" 0 1 initial)
    string(SUBSTRING "${kind}" 1 -1 rest)
    string(TOLOWER "${rest}" rest)
    string(APPEND entries "    {ResourceKind::k${initial}${rest}, ${id}, kData${count}, ${size}},\n")
    math(EXPR count "${count} + 1")
  endif()
endforeach()

file(WRITE "${OUT}" "// Generated from Tolvan.rc by EmbedResources.cmake; do not edit.
#include \"host/Resources.h\"

namespace tolvan::host {
namespace {
${data}}  // namespace

const EmbeddedResource kEmbeddedResources[] = {
${entries}};
const std::size_t kEmbeddedResourceCount = ${count};

}  // namespace tolvan::host
")
