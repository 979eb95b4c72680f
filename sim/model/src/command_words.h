// Splitting and number parsing for the control channel's command lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ecsim {

std::vector<std::string> commandWords(const std::string &line);
// `s` without blanks and tabs at either end.
std::string trimmed(const std::string &s);
// The parts of `s` between `separator`s, each trimmed; one part (perhaps
// empty) when there is no separator.
std::vector<std::string> splitTrimmed(const std::string &s, char separator);
// Decimal or 0x-prefixed hexadecimal, the whole word, at most `max`.
bool parseUnsigned(const std::string &word, uint64_t max, uint64_t &out);

} // namespace ecsim
