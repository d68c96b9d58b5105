// The two forms a stored layout stream is handed to a host in: a layout file, and a C++ header holding the stream
// as a layout array to compile into the host.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kvelayouts {

// Writes the words as a layout file, each word little-endian; false when the file cannot be written.
bool writeLayoutFile(const std::string &path, std::span<const uint32_t> words);

// The text of a C++ header that declares `static const uint32_t name[]` holding the words; `origin` becomes the
// header's first comment line.
std::string layoutArrayHeader(std::string_view name, std::span<const uint32_t> words, std::string_view origin);

} // namespace kvelayouts
