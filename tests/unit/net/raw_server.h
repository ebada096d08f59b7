#pragma once
// A tiny HTTP/1.1 server on a raw socket for client tests: records every request byte
// for byte and answers with whatever bytes the handler returns (malformed ones too).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <strings.h>

#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace test_net {

struct RawRequest {
  std::string head;  // request line and header lines, up to and including the blank line
  std::string body;
  std::string request_line() const { return head.substr(0, head.find("\r\n")); }
  // Every header line whose name equals name (case-insensitive), values untrimmed.
  std::vector<std::string> values(std::string_view name) const {
    std::vector<std::string> out;
    std::size_t pos = head.find("\r\n");
    while (pos != std::string::npos && pos + 2 < head.size()) {
      std::size_t start = pos + 2;
      std::size_t end = head.find("\r\n", start);
      if (end == std::string::npos) break;
      std::string line = head.substr(start, end - start);
      std::size_t colon = line.find(':');
      if (colon != std::string::npos && colon == name.size() &&
          strncasecmp(line.data(), name.data(), name.size()) == 0) {
        std::size_t v = colon + 1;
        while (v < line.size() && line[v] == ' ') ++v;
        out.push_back(line.substr(v));
      }
      pos = end;
    }
    return out;
  }
  std::string value(std::string_view name) const {
    auto all = values(name);
    return all.empty() ? std::string() : all.front();
  }
};

// Returning std::nullopt keeps the connection open without an answer until the server
// stops.
using RawHandler = std::function<std::optional<std::string>(const RawRequest&)>;

// A complete response with Content-Length and "Connection: close".
inline std::string http_response(const std::string& status, const std::string& headers,
                                 const std::string& body) {
  std::string r = "HTTP/1.1 " + status + "\r\n" + headers;
  r += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  r += body;
  return r;
}

class RawServer {
 public:
  explicit RawServer(RawHandler handler, int port = 0) : handler_(std::move(handler)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 16) != 0) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
  }
  ~RawServer() { stop(); }

  bool ok() const { return fd_ >= 0; }
  int port() const { return port_; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

  std::vector<RawRequest> requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  std::size_t request_count() {
    std::lock_guard lock(mutex_);
    return requests_.size();
  }

  void stop() {
    if (stopping_.exchange(true)) return;
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }

 private:
  void run() {
    while (!stopping_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) continue;
      serve(c);
      ::close(c);
    }
  }

  static bool read_more(int c, std::string& buf) {
    char chunk[65536];
    pollfd p{c, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) return false;
    ssize_t n = ::recv(c, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buf.append(chunk, static_cast<std::size_t>(n));
    return true;
  }

  void serve(int c) {
    std::string buf;
    std::size_t end;
    while ((end = buf.find("\r\n\r\n")) == std::string::npos) {
      if (!read_more(c, buf)) return;
    }
    RawRequest req;
    req.head = buf.substr(0, end + 4);
    std::size_t length = 0;
    std::string cl = req.value("Content-Length");
    if (!cl.empty()) length = std::stoul(cl);
    req.body = buf.substr(end + 4);
    while (req.body.size() < length) {
      if (!read_more(c, req.body)) break;
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(req);
    }
    std::optional<std::string> answer = handler_(req);
    if (!answer) {
      std::unique_lock lock(mutex_);
      cv_.wait(lock, [this] { return stopping_.load(); });
      return;
    }
    const char* data = answer->data();
    std::size_t left = answer->size();
    while (left > 0) {
      ssize_t n = ::send(c, data, left, MSG_NOSIGNAL);
      if (n <= 0) break;
      data += n;
      left -= static_cast<std::size_t>(n);
    }
    ::shutdown(c, SHUT_WR);
  }

  RawHandler handler_;
  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<RawRequest> requests_;
};

}  // namespace test_net
