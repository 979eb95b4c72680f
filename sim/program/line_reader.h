// Splits a byte stream (stdin, a socket) into command lines, refusing over-long lines.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ecsim {

class LineReader {
public:
    static constexpr size_t kMaxLine = 4096;

    struct Line {
        std::string text;     // without the line end (LF or CR LF)
        bool tooLong = false; // the line was longer than kMaxLine and was discarded
    };

    // Appends received bytes and returns the complete lines they finish.
    std::vector<Line> feed(const char *data, size_t len);
    // At end of stream: the last line when it had no line end.
    std::vector<Line> finish();

private:
    std::string pending_;
    bool discarding_ = false;  // inside an over-long line, dropping bytes up to its end
};

}  // namespace ecsim
