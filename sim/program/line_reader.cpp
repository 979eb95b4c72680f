#include "line_reader.h"

namespace ecsim {

namespace {

std::string stripCr(std::string s)
{
    if (!s.empty() && s.back() == '\r')
        s.pop_back();
    return s;
}

}  // namespace

std::vector<LineReader::Line> LineReader::feed(const char *data, size_t len)
{
    std::vector<Line> out;
    for (size_t i = 0; i < len; ++i) {
        const char c = data[i];
        if (c == '\n') {
            if (discarding_)
                discarding_ = false;
            else
                out.push_back({stripCr(std::move(pending_)), false});
            pending_.clear();
            continue;
        }
        if (discarding_)
            continue;
        if (pending_.size() >= kMaxLine) {
            // Report once, then drop everything up to the line end.
            out.push_back({std::string(), true});
            pending_.clear();
            discarding_ = true;
            continue;
        }
        pending_.push_back(c);
    }
    return out;
}

std::vector<LineReader::Line> LineReader::finish()
{
    std::vector<Line> out;
    if (!discarding_ && !pending_.empty())
        out.push_back({stripCr(std::move(pending_)), false});
    pending_.clear();
    discarding_ = false;
    return out;
}

}  // namespace ecsim
