// A badly behaved process for the window-registry tests, in plain POSIX (no
// Qt event loop to soften it). Modes:
//   plain SOCKET     serve SOCKET; answer any request with a valid window
//                    line at once (a well-behaved peer, for comparison)
//   trickle SOCKET   serve SOCKET; answer any request with a valid window
//                    line, one byte every 250 ms
//   flood SOCKET     serve SOCKET; answer with a window line whose title is
//                    4 MiB long
//   foreign SOCKET   bind SOCKET, then listen as user 65534 and answer with a
//                    valid window line (needs root)
//   askas SOCKET     as user 65534, connect to SOCKET, send a lookup and print
//                    "REPLY <line>" or "NOREPLY" (needs root)
//   floodclient SOCKET  connect to SOCKET and send 4 MiB without a line end;
//                    print "CLOSED" when the server hangs up, else "ACCEPTED"
// Serving modes print READY once they listen, serve one connection and exit;
// every mode gives up after 30 seconds.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

sockaddr_un address(const char* path) {
    sockaddr_un a {};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path, sizeof a.sun_path - 1);
    return a;
}

bool sendAll(int fd, const std::string& s) {
    std::size_t done = 0;
    while (done < s.size()) {
        const ssize_t n = ::send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads up to the end of the first line (or until the peer goes quiet).
std::string readLine(int fd, int timeoutMs) {
    std::string got;
    while (got.find('\n') == std::string::npos) {
        pollfd p {fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) break;
        char buf[4096];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

int serve(const char* path, const std::string& mode) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un a = address(path);
    ::unlink(path);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return 2;
    // The kernel records the listener's credentials when it starts to listen.
    if (mode == "foreign" && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 4;
    if (::listen(fd, 4) != 0) return 2;
    std::printf("READY\n");
    std::fflush(stdout);
    const int c = ::accept(fd, nullptr, nullptr);
    if (c < 0) return 2;
    readLine(c, 5000);
    std::string reply = "1\tTHostile\thostile\n";
    if (mode == "flood") reply = "1\tTHostile\t" + std::string(4 << 20, 'x') + "\n";
    if (mode == "trickle") {
        for (char ch : reply) {
            if (!sendAll(c, std::string(1, ch))) break;
            ::usleep(250 * 1000);
        }
    } else {
        sendAll(c, reply);
    }
    readLine(c, 3000);  // until the client hangs up
    ::close(c);
    ::close(fd);
    ::unlink(path);
    return 0;
}

int connectTo(const char* path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un a = address(path);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return -1;
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    ::alarm(30);
    std::signal(SIGPIPE, SIG_IGN);
    const std::string mode = argv[1];
    if (mode == "askas") {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 4;
        const int fd = connectTo(argv[2]);
        if (fd < 0) {
            std::printf("NOCONNECT %s\n", std::strerror(errno));
            return 0;
        }
        sendAll(fd, "FIND\t\t\tall\n");
        const std::string r = readLine(fd, 3000);
        if (r.find('\n') != std::string::npos)
            std::printf("REPLY %s", r.c_str());
        else
            std::printf("NOREPLY\n");
        return 0;
    }
    if (mode == "floodclient") {
        const int fd = connectTo(argv[2]);
        if (fd < 0) return 2;
        const std::string chunk(64 * 1024, 'x');
        for (int i = 0; i < 64; ++i) {
            if (!sendAll(fd, chunk)) {
                std::printf("CLOSED\n");
                return 0;
            }
        }
        std::printf("ACCEPTED\n");
        return 0;
    }
    return serve(argv[2], mode);
}
