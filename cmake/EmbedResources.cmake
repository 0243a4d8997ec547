# Writes the C++ source that builds files into the program as its resources, found by type and
# number through platform::ProgramResources(). Run at build time:
#
#   cmake -DQL_RESOURCE_TABLE_FILE=<table.cmake> -DQL_RESOURCE_SOURCE=<out.cpp> -P EmbedResources.cmake
#
# The table file sets QL_RESOURCE_TABLE to a flat list of triples: type, number, absolute path.
# res/CMakeLists.txt writes it and checks each entry; every file becomes one array of bytes.

if(NOT QL_RESOURCE_TABLE_FILE OR NOT QL_RESOURCE_SOURCE)
  message(FATAL_ERROR "EmbedResources.cmake needs QL_RESOURCE_TABLE_FILE and QL_RESOURCE_SOURCE")
endif()
include("${QL_RESOURCE_TABLE_FILE}")

# Bytes a line in the generated arrays.
set(bytes_per_line 16)
math(EXPR hex_per_line "${bytes_per_line} * 2")
string(REPEAT "." ${hex_per_line} line_pattern)

set(arrays "")
set(entries "")
set(count 0)
list(LENGTH QL_RESOURCE_TABLE fields)
while(fields GREATER 0)
  list(POP_FRONT QL_RESOURCE_TABLE type id path)
  math(EXPR fields "${fields} - 3")

  file(SIZE "${path}" size)
  get_filename_component(name "${path}" NAME)
  if(size EQUAL 0)
    # An empty resource has no array: C++ has no arrays of no elements.
    string(APPEND entries "    Entry{u\"${type}\", ${id}, nullptr, 0},  // ${name}\n")
  else()
    file(READ "${path}" hex HEX)
    string(REGEX REPLACE "(${line_pattern})" "\\1;" lines "${hex}")
    set(body "")
    foreach(line IN LISTS lines)
      if(NOT line STREQUAL "")
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" " 0x\\1," line "${line}")
        string(APPEND body "   ${line}\n")
      endif()
    endforeach()
    string(APPEND arrays "// ${type} ${id}: ${name}, ${size} bytes\n"
                         "static const std::uint8_t kResource${count}[] = {\n${body}};\n\n")
    string(APPEND entries "    Entry{u\"${type}\", ${id}, kResource${count}, sizeof kResource${count}},\n")
  endif()
  math(EXPR count "${count} + 1")
endwhile()

if(count EQUAL 0)
  set(table "constexpr std::array<Entry, 0> kEntries{};")
else()
  set(table "constexpr std::array<Entry, ${count}> kEntries{{\n${entries}}};")
endif()

file(WRITE "${QL_RESOURCE_SOURCE}" "// Generated at build time by cmake/EmbedResources.cmake from the list in res/CMakeLists.txt:
// do not edit.
#include \"platform/resources.h\"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace platform {
namespace {

${arrays}struct Entry {
    std::u16string_view type;
    std::uint16_t id;
    const std::uint8_t* bytes;
    std::size_t size;
};

${table}

class EmbeddedResources final : public ResourceSource {
public:
    std::optional<std::span<const std::uint8_t>> Find(std::u16string_view type, std::uint16_t id) override {
        for (const Entry& entry : kEntries) {
            if (entry.id == id && entry.type == type) return std::span<const std::uint8_t>(entry.bytes, entry.size);
        }
        return std::nullopt;
    }
};

}  // namespace

ResourceSource& ProgramResources() {
    static EmbeddedResources resources;
    return resources;
}

}  // namespace platform
")
