# Writes the C++ source that embeds the sample fragments, byte for byte.
# Usage: cmake -DOUTPUT=file.cpp -P EmbedSample.cmake -- fragment.records...
set(fragments "")
set(collect OFF)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(collect)
    list(APPEND fragments "${CMAKE_ARGV${i}}")
  elseif("${CMAKE_ARGV${i}}" STREQUAL "--")
    set(collect ON)
  endif()
endforeach()
list(SORT fragments)

set(arrays "")
set(entries "")
set(index 0)
foreach(fragment IN LISTS fragments)
  get_filename_component(name "${fragment}" NAME)
  file(READ "${fragment}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # A trailing zero keeps an empty fragment a valid array.
  string(APPEND arrays "const unsigned char kFragment${index}[] = {${bytes}0x00};\n")
  string(APPEND entries "    {\"${name}\", kFragment${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()

set(text "// Generated from tools/aiexport/sample/*.records; edit those, not this.
#include \"Sample.h\"

namespace recordscript {
namespace {
${arrays}}  // namespace

const SampleFragment kSampleFragments[] = {
${entries}    {nullptr, nullptr, 0},
};
const std::size_t kSampleFragmentCount = ${index};

}  // namespace recordscript
")
file(WRITE "${OUTPUT}" "${text}")
