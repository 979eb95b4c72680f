// The frame transport over a real adapter on Windows, through Npcap.
#ifndef ETHERCAT_PORT_WINDOWS_WPCAP_PORT_H
#define ETHERCAT_PORT_WINDOWS_WPCAP_PORT_H

#include "port/windows/timer_period.h"
#include "port/windows/wait_timer.h"
#include "port/windows/wpcap_api.h"

#include <ethercat/transport.h>

#include <string>

namespace ethercat {

class WpcapPort : public Transport {
public:
    // Opens `ifname` (an Npcap device name, \Device\NPF_{...}). Null with
    // *why set when it cannot.
    static WpcapPort *open(const char *ifname, std::string *why);
    ~WpcapPort() override;

    bool send(const uint8_t *frame, size_t len) override;
    int receive(uint8_t *buf, size_t capacity, int timeoutUs) override;

private:
    WpcapPort(const wpcap::Api *api, pcap_t *handle, HANDLE readEvent)
        : api_(api), handle_(handle), readEvent_(readEvent)
    {
    }
    const wpcap::Api *api_;
    pcap_t *handle_;
    HANDLE readEvent_; // Npcap's, signalled when a frame waits; not ours to close
    WaitTimer timer_;
    TimerPeriod period_;
};

} // namespace ethercat

#endif
