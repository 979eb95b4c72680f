// Invariant checks inside fuzz entry points. A failed check is a finding: it
// prints what was expected and aborts, which libFuzzer reports as a crash and
// the replay tests report as a failed test.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond, what)                                                          \
    do {                                                                                \
        if (!(cond)) {                                                                  \
            std::fprintf(stderr, "fuzz check failed at %s:%d: %s (%s)\n", __FILE__,     \
                         __LINE__, what, #cond);                                        \
            std::abort();                                                               \
        }                                                                               \
    } while (0)
