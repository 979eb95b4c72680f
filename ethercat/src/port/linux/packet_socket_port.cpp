#include "packet_socket_port.h"

#include "adapter_check.h"
#include "clock.h"
#include "port/platform.h"

#include <rawsocket/helper.h>
#include <rawsocket/packet_socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/if_packet.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace ethercat {

namespace {

// The receive ring: slots of 2 KiB (a TPACKET_V2 header and the largest
// Ethernet frame fit), 64 of them, in blocks of one page.
constexpr unsigned kSlotBytes = 2048;
constexpr unsigned kSlots = 64;
constexpr unsigned kBlockBytes = 4096;
constexpr size_t kRingBytes = size_t(kSlotBytes) * kSlots;
static_assert(kBlockBytes % kSlotBytes == 0 && kRingBytes % kBlockBytes == 0, "whole slots per block");
static_assert(TPACKET2_HDRLEN + 1514 <= kSlotBytes, "a whole Ethernet frame fits a slot");

// Maps a TPACKET_V2 receive ring on the socket; null with *why set.
uint8_t *mapReceiveRing(int fd, std::string *why)
{
    const int version = TPACKET_V2;
    tpacket_req req{};
    req.tp_block_size = kBlockBytes;
    req.tp_block_nr = unsigned(kRingBytes / kBlockBytes);
    req.tp_frame_size = kSlotBytes;
    req.tp_frame_nr = kSlots;
    if (::setsockopt(fd, SOL_PACKET, PACKET_VERSION, &version, sizeof version) != 0
        || ::setsockopt(fd, SOL_PACKET, PACKET_RX_RING, &req, sizeof req) != 0) {
        *why = std::string("cannot set up the socket's receive ring: ") + std::strerror(errno);
        return nullptr;
    }
    void *ring = ::mmap(nullptr, kRingBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (ring == MAP_FAILED) {
        *why = std::string("cannot map the socket's receive ring: ") + std::strerror(errno);
        return nullptr;
    }
    return static_cast<uint8_t *>(ring);
}

} // namespace

PacketSocketPort *PacketSocketPort::open(const char *ifname, std::string *why)
{
    if (!checkEthernetAdapter(ifname, why))
        return nullptr;
    int err = 0;
    int fd = rawsocket::openPacketSocket(ifname, why, &err);
    if (fd < 0 && (err == EPERM || err == EACCES))
        fd = rawsocket::socketFromHelper(ifname, why);
    if (fd < 0)
        return nullptr;
    uint8_t *ring = mapReceiveRing(fd, why);
    if (!ring) {
        ::close(fd);
        return nullptr;
    }
    return new PacketSocketPort(fd, ring);
}

PacketSocketPort::~PacketSocketPort()
{
    ::munmap(ring_, kRingBytes);
    ::close(fd_);
}

bool PacketSocketPort::send(const uint8_t *frame, size_t len)
{
    ssize_t n;
    do
        n = ::send(fd_, frame, len, MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    return n == ssize_t(len);
}

int PacketSocketPort::takeFrame(uint8_t *buf, size_t capacity)
{
    auto *hdr = reinterpret_cast<tpacket2_hdr *>(ring_ + size_t(slot_) * kSlotBytes);
    if (!(__atomic_load_n(&hdr->tp_status, __ATOMIC_ACQUIRE) & TP_STATUS_USER))
        return -1;
    const size_t n = std::min<size_t>(hdr->tp_snaplen, capacity);
    std::memcpy(buf, reinterpret_cast<const uint8_t *>(hdr) + hdr->tp_mac, n);
    __atomic_store_n(&hdr->tp_status, TP_STATUS_KERNEL, __ATOMIC_RELEASE);
    slot_ = (slot_ + 1) % kSlots;
    return int(n);
}

// A frame that waits in the ring is taken at once; otherwise ppoll waits for
// one, with the time left in microseconds (poll would count whole
// milliseconds).
int PacketSocketPort::receive(uint8_t *buf, size_t capacity, int timeoutUs)
{
    const int64_t deadline = nowUs() + (timeoutUs > 0 ? timeoutUs : 0);
    for (;;) {
        const int n = takeFrame(buf, capacity);
        if (n > 0)
            return n;
        if (n == 0)
            continue; // an empty frame: never from the wire
        const int64_t left = deadline - nowUs();
        if (left <= 0)
            return 0;
        pollfd pfd{fd_, POLLIN, 0};
        timespec ts{};
        ts.tv_sec = time_t(left / 1000000);
        ts.tv_nsec = long(left % 1000000) * 1000;
        if (::ppoll(&pfd, 1, &ts, nullptr) < 0 && errno != EINTR)
            return -1;
        if (pfd.revents & POLLNVAL)
            return -1;
        if (pfd.revents & POLLERR) {
            // The adapter went down or away: the socket holds the error.
            int error = 0;
            socklen_t len = sizeof error;
            if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0)
                return -1;
        }
    }
}

Transport *openAdapter(const char *ifname, std::string *why)
{
    return PacketSocketPort::open(ifname, why);
}

} // namespace ethercat
