// list_load_client: a load client for the list protocol.
//   list_load_client [--address A] [--port P] [--connections N] [--seconds S] [--list 1|2]
//                   [--threads T]
// Every connection asks for the list with stamp 0 (so every reply carries the full list),
// waits for the whole reply, and asks again. Prints requests/s and the latency percentiles.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Connection {
  int fd = -1;
  std::string received;
  Clock::time_point sent;
};

std::uint32_t Le(const std::string& s, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(s[at + i]);
  return v;
}

// Length of the complete reply at the start of `s`, or 0 while it is still incomplete.
std::size_t ReplyLength(const std::string& s) {
  if (s.size() < 15) return 0;
  if (s.compare(11, 4, "ktmq") == 0) return 15;
  std::uint32_t count = Le(s, 11, 4);
  std::size_t pos = 15;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (s.size() < pos + 4) return 0;
    pos += 4 + Le(s, pos + 2, 2) + 2 + 32;
  }
  return s.size() >= pos + 4 ? pos + 4 : 0;
}

struct Result {
  std::vector<double> latencies;
  std::size_t replyBytes = 0;
  std::size_t errors = 0;
};

// Connection `index` (counted over all workers) of a load on loopback comes from an address of
// its own, as every phone on a LAN does: the server gives one address only a share of its slots.
bool BindOwnLoopbackAddress(int fd, const sockaddr_in& to, int index) {
  if ((ntohl(to.sin_addr.s_addr) >> 24) != 127) return true;
  sockaddr_in from{};
  from.sin_family = AF_INET;
  from.sin_addr.s_addr = htonl((127u << 24) | (2u << 8) | static_cast<std::uint32_t>(1 + index));
  return bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) == 0;
}

bool Worker(const sockaddr_in& to, int firstIndex, int connections, int list, Clock::time_point end,
            Result* result) {
  const char request[11] = {'q', 'm', 't', 'k', 1, static_cast<char>(list == 2 ? 1 : 0),
                            1,   0,   0,   0,   0};
  int epoll = epoll_create1(EPOLL_CLOEXEC);
  std::vector<Connection> conns(static_cast<std::size_t>(connections));
  for (std::size_t i = 0; i < conns.size(); ++i) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (!BindOwnLoopbackAddress(fd, to, firstIndex + static_cast<int>(i)) ||
        connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
      std::perror("connect");
      return false;
    }
    conns[i].fd = fd;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = i;
    epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &ev);
  }
  result->latencies.reserve(2000000);
  for (Connection& c : conns) {
    c.sent = Clock::now();
    send(c.fd, request, sizeof request, MSG_NOSIGNAL);
  }
  std::vector<epoll_event> events(conns.size());
  char buffer[65536];
  while (Clock::now() < end) {
    int n = epoll_wait(epoll, events.data(), static_cast<int>(events.size()), 100);
    for (int e = 0; e < n; ++e) {
      Connection& c = conns[events[static_cast<std::size_t>(e)].data.u64];
      ssize_t got = recv(c.fd, buffer, sizeof buffer, 0);
      if (got <= 0) {
        ++result->errors;
        epoll_ctl(epoll, EPOLL_CTL_DEL, c.fd, nullptr);
        continue;
      }
      c.received.append(buffer, static_cast<std::size_t>(got));
      std::size_t length = ReplyLength(c.received);
      if (!length) continue;
      const auto now = Clock::now();
      result->latencies.push_back(std::chrono::duration<double, std::micro>(now - c.sent).count());
      result->replyBytes = length;
      c.received.erase(0, length);
      c.sent = now;
      send(c.fd, request, sizeof request, MSG_NOSIGNAL);
    }
  }
  for (Connection& c : conns) close(c.fd);
  close(epoll);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string address = "127.0.0.1";
  int port = 11718, connections = 64, seconds = 10, list = 1, threads = 2;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--address") address = argv[i + 1];
    if (a == "--port") port = std::atoi(argv[i + 1]);
    if (a == "--connections") connections = std::atoi(argv[i + 1]);
    if (a == "--seconds") seconds = std::atoi(argv[i + 1]);
    if (a == "--list") list = std::atoi(argv[i + 1]);
    if (a == "--threads") threads = std::max(1, std::atoi(argv[i + 1]));
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, address.c_str(), &to.sin_addr);
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  std::vector<Result> results(static_cast<std::size_t>(threads));
  std::vector<std::thread> workers;
  bool ok = true;
  int first = 0;
  for (int t = 0; t < threads; ++t) {
    int share = connections / threads + (t < connections % threads ? 1 : 0);
    workers.emplace_back([&, t, first, share] {
      if (!Worker(to, first, share, list, end, &results[static_cast<std::size_t>(t)])) ok = false;
    });
    first += share;
  }
  for (auto& w : workers) w.join();
  if (!ok) return 1;
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> latencies;
  std::size_t replyBytes = 0, errors = 0;
  for (Result& r : results) {
    latencies.insert(latencies.end(), r.latencies.begin(), r.latencies.end());
    replyBytes = std::max(replyBytes, r.replyBytes);
    errors += r.errors;
  }
  std::sort(latencies.begin(), latencies.end());
  auto pct = [&](double p) {
    return latencies.empty() ? 0.0
                             : latencies[std::min(latencies.size() - 1,
                                                  static_cast<std::size_t>(p * latencies.size()))];
  };
  std::printf("requests/s %.0f  reply %zu bytes  p50 %.3f ms  p99 %.3f ms  errors %zu\n",
              static_cast<double>(latencies.size()) / elapsed, replyBytes, pct(0.50) / 1000,
              pct(0.99) / 1000, errors);
  return 0;
}
