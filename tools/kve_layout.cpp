// Writes an example layout as a stored stream of command packets: a layout file or a C++ header holding a layout
// array, enciphered under the library's key string unless asked otherwise. The same arguments always give the same
// bytes.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "Engine/LayoutCipher.h"
#include "layouts/ExampleLayouts.h"
#include "layouts/LayoutOutput.h"
#include "packets/PacketBuilder.h"

namespace {

struct Options {
    std::string layout;
    std::string output;
    bool plain = false;
    std::string key = kve::kLibraryLayoutKey;
    bool keyGiven = false;
    std::string arrayName;
    kvelayouts::LayoutShape shape;
};

void usage()
{
    std::fprintf(stderr,
                 "usage: kve_layout LAYOUT OUTPUT [--plain] [--key STRING] [--array NAME] [--block N]\n"
                 "  --plain       write the packets unenciphered\n"
                 "  --key STRING  encipher under this key string instead of the library's\n"
                 "  --array NAME  write a C++ header declaring the stream as the array NAME\n"
                 "  --block N     block size of the layout's wires (default 32)\n"
                 "layouts:\n");
    for (const kvelayouts::ExampleLayout &l : kvelayouts::exampleLayouts())
        std::fprintf(stderr, "  %-14s %s\n", l.name, l.summary);
}

bool isIdentifier(std::string_view s)
{
    if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0])))
        return false;
    for (char c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return false;
    return true;
}

// The block size must fit the 17-bit block-size field of a wire's info word 2.
bool parseBlockSize(const char *text, uint32_t &out)
{
    char *end = nullptr;
    const unsigned long v = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || v == 0 || v > 0x1FFFFu)
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

bool parse(int argc, char **argv, Options &o)
{
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--plain") {
            o.plain = true;
        } else if (a == "--key" && hasValue) {
            o.key = argv[++i];
            o.keyGiven = true;
        } else if (a == "--array" && hasValue) {
            o.arrayName = argv[++i];
            if (!isIdentifier(o.arrayName)) {
                std::fprintf(stderr, "kve_layout: '%s' is not a C++ identifier\n", o.arrayName.c_str());
                return false;
            }
        } else if (a == "--block" && hasValue) {
            if (!parseBlockSize(argv[++i], o.shape.blockSize)) {
                std::fprintf(stderr, "kve_layout: block size must be 1 to %u\n", 0x1FFFFu);
                return false;
            }
        } else if (a.starts_with("--")) {
            std::fprintf(stderr, "kve_layout: unknown option or missing value: %s\n", argv[i]);
            return false;
        } else {
            positional.emplace_back(a);
        }
    }
    if (positional.size() != 2)
        return false;
    if (o.plain && o.keyGiven) {
        std::fprintf(stderr, "kve_layout: --plain and --key exclude each other\n");
        return false;
    }
    o.layout = positional[0];
    o.output = positional[1];
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!parse(argc, argv, o)) {
        usage();
        return 2;
    }
    const kvelayouts::ExampleLayout *layout = kvelayouts::findExampleLayout(o.layout);
    if (layout == nullptr) {
        std::fprintf(stderr, "kve_layout: no layout named '%s'\n", o.layout.c_str());
        usage();
        return 2;
    }

    const kvepackets::LayoutStream stream = layout->build(o.shape);
    const std::vector<uint32_t> words = o.plain ? stream.words() : kvepackets::encipher(stream.words(), o.key.c_str());

    bool written = false;
    if (o.arrayName.empty()) {
        written = kvelayouts::writeLayoutFile(o.output, words);
    } else {
        const std::string origin = "Layout \"" + o.layout + "\", block size " + std::to_string(o.shape.blockSize) +
                                   (o.plain ? ", plain" : ", enciphered") + "; written by kve_layout.";
        std::ofstream out(o.output, std::ios::trunc);
        out << kvelayouts::layoutArrayHeader(o.arrayName, words, origin);
        out.close();
        written = !out.fail();
    }
    if (!written) {
        std::fprintf(stderr, "kve_layout: cannot write %s\n", o.output.c_str());
        return 1;
    }
    return 0;
}
