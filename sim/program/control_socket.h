// The optional control socket: a Unix stream socket accepting several clients, each sending
// one command per line and reading one answer line per command. The socket file is made with
// mode 0600, and a client whose user is neither the simulator's nor root is answered one
// error line and cut off.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <poll.h>

#include "line_reader.h"

namespace ecsim {

class ControlSocket {
public:
    static constexpr size_t kMaxClients = 16;
    static constexpr size_t kMaxPendingOutput = 64 * 1024;

    ControlSocket() = default;
    ~ControlSocket();
    ControlSocket(const ControlSocket &) = delete;
    ControlSocket &operator=(const ControlSocket &) = delete;

    // Listens at `path`. A stale socket file left by an earlier run is replaced; a path in use
    // by a running program, or a file that is not a socket, is refused.
    bool listen(const std::string &path, std::string &error);

    // Descriptors to poll, appended to `fds`; remembers where they start.
    void addPollFds(std::vector<pollfd> &fds);
    // Handles the events poll() reported for our descriptors; each complete line goes to
    // `execute` and its answer is sent back to the client that sent it.
    void handleEvents(const std::vector<pollfd> &fds,
                      const std::function<std::string(const std::string &)> &execute);
    size_t clientCount() const { return clients_.size(); }

private:
    struct Client {
        int fd = -1;
        LineReader reader;
        std::string out;
    };
    void accept();
    void queue(Client &c, const std::string &answer);
    bool flush(Client &c);  // false when the client is gone

    int listenFd_ = -1;
    std::string path_;
    std::vector<std::unique_ptr<Client>> clients_;
    size_t pollStart_ = 0;
    size_t polledClients_ = 0;
};

}  // namespace ecsim
