#include "layouts/LayoutOutput.h"

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <vector>

namespace kvelayouts {

bool writeLayoutFile(const std::string &path, std::span<const uint32_t> words)
{
    // The stored stream is little-endian whatever machine writes it.
    std::vector<char> bytes;
    bytes.reserve(words.size() * 4);
    for (uint32_t w : words)
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<char>((w >> shift) & 0xFFu));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

std::string layoutArrayHeader(std::string_view name, std::span<const uint32_t> words, std::string_view origin)
{
    constexpr size_t kWordsPerLine = 8;
    std::string text;
    text += "// ";
    text += origin;
    text += "\n#pragma once\n\n#include <stdint.h>\n\nstatic const uint32_t ";
    text += name;
    text += "[] = {";
    for (size_t i = 0; i < words.size(); ++i) {
        char word[16];
        std::snprintf(word, sizeof word, "0x%08" PRIX32 "u,", words[i]);
        text += i % kWordsPerLine == 0 ? "\n    " : " ";
        text += word;
    }
    text += "\n};\n";
    return text;
}

} // namespace kvelayouts
