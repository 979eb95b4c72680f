// A small test harness for the Windows test program, which runs under Wine
// where Qt is not available: named cases in groups, checks that report
// where they failed and let the case go on, and the closing line
// "N passed, N failed" that CTest's log shows.
#pragma once

#include <sstream>
#include <string>

namespace wintest {

using CaseFn = void (*)();

struct Register {
    Register(const char *group, const char *name, CaseFn fn);
};

void fail(const char *file, int line, const std::string &what);

template <typename A, typename B>
bool equal(const A &a, const B &b, const char *as, const char *bs, const char *file, int line)
{
    if (a == b)
        return true;
    std::ostringstream s;
    s << as << " == " << bs << ": got " << a << ", expected " << b;
    fail(file, line, s.str());
    return false;
}

// What the case prints besides its checks (figures, the stderr it saw).
void note(const std::string &text);

} // namespace wintest

#define WT_CASE(group, name)                                                                   \
    static void name();                                                                        \
    static const wintest::Register name##_registered(group, #name, name);                     \
    static void name()

#define CHECK(cond)                                                                            \
    do {                                                                                       \
        if (!(cond))                                                                           \
            wintest::fail(__FILE__, __LINE__, #cond);                                          \
    } while (0)
#define CHECK_EQ(a, b) wintest::equal((a), (b), #a, #b, __FILE__, __LINE__)
// Ends the case when the condition fails: for what later checks need.
#define REQUIRE(cond)                                                                          \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            wintest::fail(__FILE__, __LINE__, #cond);                                          \
            return;                                                                            \
        }                                                                                      \
    } while (0)
