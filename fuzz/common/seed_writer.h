// Writes seed files for the fuzz targets: one file per input, named after
// what it holds, into the folder given on the seed program's command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace fuzzseeds {

inline std::string &outputDir()
{
    static std::string dir;
    return dir;
}

// Takes the output folder from argv[1]; returns false (with a usage line) when missing.
inline bool init(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argc > 0 ? argv[0] : "seeds");
        return false;
    }
    outputDir() = argv[1];
    return true;
}

inline bool write(const std::string &name, const std::vector<uint8_t> &bytes)
{
    const std::string path = outputDir() + "/" + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        return false;
    }
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

inline std::vector<uint8_t> wordsToBytes(const std::vector<uint16_t> &words)
{
    std::vector<uint8_t> b;
    b.reserve(words.size() * 2);
    for (uint16_t w : words) {
        b.push_back(static_cast<uint8_t>(w));
        b.push_back(static_cast<uint8_t>(w >> 8));
    }
    return b;
}

} // namespace fuzzseeds
