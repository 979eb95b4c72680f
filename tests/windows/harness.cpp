#include "harness.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace wintest {

namespace {

struct Case {
    const char *group;
    const char *name;
    CaseFn fn;
};

std::vector<Case> &cases()
{
    static std::vector<Case> all;
    return all;
}

int g_failures = 0;

} // namespace

Register::Register(const char *group, const char *name, CaseFn fn)
{
    cases().push_back({group, name, fn});
}

void fail(const char *file, int line, const std::string &what)
{
    ++g_failures;
    std::printf("    FAIL %s:%d: %s\n", file, line, what.c_str());
    std::fflush(stdout);
}

void note(const std::string &text)
{
    std::printf("    %s\n", text.c_str());
    std::fflush(stdout);
}

} // namespace wintest

// Runs the cases of the group named on the command line.
int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s GROUP (the cases of one group run)\n", argv[0]);
        return 2;
    }
    int passed = 0, failed = 0;
    for (const auto &c : wintest::cases()) {
        if (std::strcmp(c.group, argv[1]) != 0)
            continue;
        std::printf("%s::%s\n", c.group, c.name);
        std::fflush(stdout);
        const int before = wintest::g_failures;
        c.fn();
        if (wintest::g_failures == before)
            ++passed;
        else
            ++failed;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    if (passed + failed == 0) {
        std::fprintf(stderr, "no case in group \"%s\"\n", argv[1]);
        return 2;
    }
    return failed == 0 ? 0 : 1;
}
