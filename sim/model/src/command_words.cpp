#include "command_words.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace ecsim {

std::vector<std::string> commandWords(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> w;
    std::string s;
    while (in >> s)
        w.push_back(s);
    return w;
}

std::string trimmed(const std::string &s)
{
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return std::string();
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::vector<std::string> splitTrimmed(const std::string &s, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = s.find(separator, start);
        parts.push_back(trimmed(s.substr(start, end == std::string::npos ? std::string::npos : end - start)));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

bool parseUnsigned(const std::string &word, uint64_t max, uint64_t &out)
{
    if (word.empty() || word[0] == '-' || word[0] == '+')
        return false;
    const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
    errno = 0;
    char *end = nullptr;
    const unsigned long long v = std::strtoull(word.c_str(), &end, hex ? 16 : 10);
    if (end != word.c_str() + word.size() || errno == ERANGE || v > max)
        return false;
    out = v;
    return true;
}

} // namespace ecsim
