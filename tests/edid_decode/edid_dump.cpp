// Writes the built-in EDID table of one item to a 256-byte binary file for edid-decode.
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <span>

#include "edid/BuiltinEdids.h"

int main(int argc, char **argv) {
    const std::span<char *> args(argv, static_cast<std::size_t>(argc));
    if (args.size() != 3) {
        std::cerr << "usage: brimel_edid_dump ITEM FILE\n";
        return 2;
    }
    char *end = nullptr;
    const long item = std::strtol(args[1], &end, 10);
    const bool numeric = *end == '\0' && item >= 0 && item <= 99;
    const auto table = brimel::builtinEdid(numeric ? static_cast<int>(item) : 0);
    if (!table) {
        std::cerr << "no built-in EDID table for item " << args[1] << "\n";
        return 1;
    }
    std::ofstream out(args[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(table->data()),
              static_cast<std::streamsize>(table->size()));
    out.close();
    if (!out) {
        std::cerr << "cannot write " << args[2] << "\n";
        return 1;
    }
    return 0;
}
