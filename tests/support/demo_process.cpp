#include "demo_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <cctype>
#include <chrono>
#include <cstring>

#ifndef TESSARO_DEMO_BINARY
#error "TESSARO_DEMO_BINARY must be set: include tests/support/DemoProcess.cmake and call tessaro_use_demo()"
#endif

namespace testsupport {

std::string demo_binary() { return TESSARO_DEMO_BINARY; }

DemoProcess::~DemoProcess() { stop(); }

bool DemoProcess::start(const std::vector<std::string>& args) {
  stop();
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  std::vector<std::string> argv_s = {demo_binary(), "--port", "0"};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive the test
    dup2(fds[1], STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  pid_ = pid;

  // First stdout line: "listening on 127.0.0.1:PORT".
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (line.find('\n') == std::string::npos) {
    int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
    if (left <= 0) break;
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, left) <= 0) break;
    char buf[256];
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);  // the server writes nothing else; it ignores SIGPIPE
  const std::string prefix = "listening on 127.0.0.1:";
  if (line.rfind(prefix, 0) == 0) port_ = std::atoi(line.c_str() + prefix.size());
  if (port_ <= 0) {
    stop();
    return false;
  }
  return true;
}

void DemoProcess::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 200; ++i) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      usleep(10000);
    }
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
  }
  pid_ = -1;
  port_ = 0;
}

std::string url_encode(const std::string& s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string DemoProcess::host_name() { return "demo.example.com"; }

std::string DemoProcess::base_url() const { return "http://" + host_name() + ":" + std::to_string(port_); }

std::string DemoProcess::host_rule(const std::string& more_rules) const {
  return "--host-resolver-rules=\"MAP " + host_name() + " 127.0.0.1:" + std::to_string(port_) +
         (more_rules.empty() ? "" : "," + more_rules) + "\"";
}

std::string DemoProcess::get(const std::string& path) const {
  if (port_ <= 0) return {};
  httplib::Client client("127.0.0.1", port_);
  client.set_connection_timeout(5);
  client.set_read_timeout(10);
  auto res = client.Get(path.c_str());
  return res ? res->body : std::string();
}

std::string DemoProcess::post(const std::string& path, const std::string& form_body) const {
  if (port_ <= 0) return {};
  httplib::Client client("127.0.0.1", port_);
  client.set_connection_timeout(5);
  client.set_read_timeout(10);
  auto res = client.Post(path.c_str(), form_body, "application/x-www-form-urlencoded");
  return res ? res->body : std::string();
}

}  // namespace testsupport
