#pragma once
// A loopback TCP proxy in front of the test server, for the server benchmarks:
//
// - it counts the round trips of the connections that pass through it, as the wire sees
//   them: each time a client sends after the server has answered (whatever the driver sends
//   of its own accord is counted too: its BEGIN, its savepoints, its set-up queries);
// - it can hold every piece of data for a fixed delay in each direction, as the network
//   between a station and the practice's server does (1 ms each way is a modest office
//   network), so that a run shows what a practice gets on a real network.
//
// POSIX sockets, one thread per direction of each connection; data in one direction keeps
// its order and is never held longer than the delay after it arrived.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mg::bench {

class WireProxy {
public:
    WireProxy(int serverPort, std::chrono::microseconds delay) : serverPort_(serverPort), delay_(delay) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener_, 16) != 0) {
            std::perror("proxy");
            std::exit(1);
        }
        socklen_t len = sizeof a;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~WireProxy() {
        stopping_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        acceptor_.join();
        std::lock_guard lock(mutex_);
        for (auto& l : links_) {
            ::shutdown(l->client, SHUT_RDWR);
            ::shutdown(l->server, SHUT_RDWR);
        }
        for (auto& l : links_) {
            l->up.join();
            l->down.join();
            ::close(l->client);
            ::close(l->server);
        }
    }
    WireProxy(const WireProxy&) = delete;
    WireProxy& operator=(const WireProxy&) = delete;

    int port() const { return port_; }
    uint64_t roundTrips() const { return roundTrips_.load(); }

private:
    struct Link {
        int client = -1, server = -1;
        std::atomic<bool> lastToServer{false};
        std::thread up, down;
    };
    using Clock = std::chrono::steady_clock;

    void acceptLoop() {
        while (!stopping_) {
            int c = ::accept(listener_, nullptr, nullptr);
            if (c < 0) return;
            int s = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(static_cast<uint16_t>(serverPort_));
            if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                ::close(c);
                ::close(s);
                continue;
            }
            int one = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            auto link = std::make_unique<Link>();
            link->client = c;
            link->server = s;
            Link* l = link.get();
            l->up = std::thread([this, l] { pump(l->client, l->server, true, *l); });
            l->down = std::thread([this, l] { pump(l->server, l->client, false, *l); });
            std::lock_guard lock(mutex_);
            links_.push_back(std::move(link));
        }
    }

    // Copies from one socket to the other, each piece sent once its delay has passed.
    void pump(int from, int to, bool toServer, Link& link) {
        struct Piece {
            Clock::time_point due;
            std::string bytes;
        };
        std::deque<Piece> held;
        char buf[65536];
        bool open = true;
        while (open || !held.empty()) {
            const auto now = Clock::now();
            while (!held.empty() && held.front().due <= now) {
                const std::string& b = held.front().bytes;
                for (size_t sent = 0; sent < b.size();) {
                    ssize_t n = ::send(to, b.data() + sent, b.size() - sent, MSG_NOSIGNAL);
                    if (n <= 0) return;
                    sent += static_cast<size_t>(n);
                }
                held.pop_front();
            }
            if (!open) {
                if (!held.empty()) std::this_thread::sleep_until(held.front().due);
                continue;
            }
            timespec wait{1, 0};
            if (!held.empty()) {
                const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(held.front().due - Clock::now()).count();
                wait = timespec{0, left > 0 ? static_cast<long>(left) : 0};
            }
            pollfd p{from, POLLIN, 0};
            if (::ppoll(&p, 1, &wait, nullptr) <= 0) continue;
            ssize_t n = ::recv(from, buf, sizeof buf, 0);
            if (n <= 0) {
                open = false;
                continue;
            }
            if (toServer) {
                if (!link.lastToServer.exchange(true)) ++roundTrips_;
            } else {
                link.lastToServer = false;
            }
            if (delay_.count() == 0 && held.empty()) {
                for (ssize_t sent = 0; sent < n;) {
                    ssize_t m = ::send(to, buf + sent, static_cast<size_t>(n - sent), MSG_NOSIGNAL);
                    if (m <= 0) return;
                    sent += m;
                }
            } else {
                held.push_back({Clock::now() + delay_, std::string(buf, static_cast<size_t>(n))});
            }
        }
        ::shutdown(to, SHUT_WR);
    }

    int serverPort_;
    std::chrono::microseconds delay_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> roundTrips_{0};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Link>> links_;
};

}  // namespace mg::bench
