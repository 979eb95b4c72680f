// Pacing of a wait that polls a slave frame by frame (SII busy, mailbox
// full, AL state): back to back at first, since what the slave does mostly
// takes well under a couple of milliseconds and each poll already waits for
// its frame to come back; then with pauses growing to a millisecond, so that
// a slow slave is not flooded for seconds.
#ifndef ETHERCAT_POLL_PACER_H
#define ETHERCAT_POLL_PACER_H

#include "clock.h"

#include <algorithm>
#include <cstdint>

namespace ethercat {

class PollPacer {
public:
    PollPacer() : start_(nowUs()) {}

    // Called after each poll that did not see what it waits for; never
    // sleeps past `deadlineUs`.
    void wait(int64_t deadlineUs)
    {
        const int64_t now = nowUs();
        if (now - start_ < kBackToBackUs)
            return;
        sleepUs(std::min(pause_, deadlineUs - now));
        pause_ = std::min<int64_t>(pause_ * 2, kLongestPauseUs);
    }

private:
    static constexpr int64_t kBackToBackUs = 2000;
    static constexpr int64_t kFirstPauseUs = 20;
    static constexpr int64_t kLongestPauseUs = 1000;
    int64_t start_;
    int64_t pause_ = kFirstPauseUs;
};

} // namespace ethercat

#endif
