// Each input is a text for one of the host string readers, picked by the first byte: the escaped-form decoder, the
// CSV field reader, the command-line splitter or the delimited macro expander. The rest of the input (up to its
// first zero byte, as the readers see it) is the text; the second byte also sets the reader's options. Besides
// the sanitizers' checks, each reader must keep the promises a caller builds on: forms written by Encode read back
// to the text, the field reader always moves on or stops, fields written by AddCSVField read back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "kve/kve_string.h"

namespace {

void require(bool promise)
{
    if (!promise)
        std::abort();
}

void decode(const std::string &text, uint8_t options)
{
    std::string out;
    String::Decode(out, text.c_str(), static_cast<String::Encoding>(options % 7));
    // Whatever the text, the escaped forms that Encode writes read back to it.
    const String::Encoding forms[] = {String::EncURL, String::EncXML, String::EncCString};
    for (String::Encoding form : forms) {
        std::string encoded, back;
        String::Encode(encoded, text.c_str(), form);
        String::Decode(back, encoded.c_str(), form);
        const bool lossy = form == String::EncXML && text.find_first_of("\x01\x02\x03\x04\x05\x06\x07\x08\x0B\x0C"
                                                                        "\x0E\x0F\x10\x11\x12\x13\x14\x15\x16\x17"
                                                                        "\x18\x19\x1A\x1B\x1C\x1D\x1E\x1F") !=
                                                          std::string::npos;
        require(lossy || back == text);
    }
}

void readFields(const std::string &text, uint8_t options)
{
    const char separator = (options & 1) != 0 ? ';' : ',';
    const char quote = (options & 2) != 0 ? '|' : '"';
    const bool trim = (options & 4) != 0;
    std::vector<std::string> fields;
    const char *cursor = text.c_str();
    for (size_t reads = 0;; ++reads) {
        require(reads <= text.size() + 1);
        std::string field;
        const char *before = cursor;
        const int32_t result = String::ReadCSVField(field, cursor, trim, separator, quote);
        require(result == 0 || result == 1 || result == -17);
        if (result != 0)
            break;
        require(cursor > before);
        fields.push_back(field);
    }
    // Fields without line ends, written and read back, come out as they went in.
    std::string line;
    for (std::string &field : fields) {
        field.erase(std::remove_if(field.begin(), field.end(), [](char c) { return c == '\r' || c == '\n'; }),
                    field.end());
        String::AddCSVField(line, field, (options & 8) != 0, separator, quote);
    }
    const char *again = line.c_str();
    for (const std::string &field : fields) {
        std::string read;
        const int32_t result = String::ReadCSVField(read, again, false, separator, quote);
        require(result >= 0 && read == field);
    }
}

void splitWords(const std::string &text)
{
    std::vector<std::string> words;
    String::SplitQuoted(words, text.c_str());
    require(!words.empty() && words.size() <= text.size() + 1);
}

void expand(const std::string &text, uint8_t options)
{
    // Names that refer to each other in a ring, to themselves, to nothing and to a cut macro.
    static const std::map<std::string, std::string> macros{
        {"a", "x"}, {"b", "$a$$a$"}, {"c", "$d$"}, {"d", "[$c$]"}, {"e", "$e$"}, {"f", "$"}, {"g", "$$"},
        {"h", "$b$$b$$b$"}, {"1", "one"}, {" ", "space"}};
    std::string out;
    const std::string errors = String::ExpandDelimited(out, text.c_str(), macros, (options & 1) != 0, '$');
    require(errors.empty() || errors.back() == '\n');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t options = data[1];
    const std::string raw(reinterpret_cast<const char *>(data) + 2, size - 2);
    const std::string text = raw.substr(0, raw.find('\0'));
    switch (data[0] % 4) {
    case 0: decode(text, options); break;
    case 1: readFields(text, options); break;
    case 2: splitWords(text); break;
    default: expand(text, options); break;
    }
    return 0;
}
