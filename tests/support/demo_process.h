#pragma once
// Starts the demo back office (built target tessaro-demo) as a child process for a test.

#include <string>
#include <vector>

namespace testsupport {

class DemoProcess {
 public:
  DemoProcess() = default;
  ~DemoProcess();  // stops the server
  DemoProcess(const DemoProcess&) = delete;
  DemoProcess& operator=(const DemoProcess&) = delete;

  // Starts the server on a free port with extra command-line arguments (for example
  // {"--theme", "2", "--captcha", "1234"}); true once it listens.
  bool start(const std::vector<std::string>& args = {});
  void stop();
  int port() const { return port_; }

  // "demo.example.com": the host name the browser uses for the demo.
  static std::string host_name();
  // "http://demo.example.com:PORT"
  std::string base_url() const;
  // --host-resolver-rules="MAP demo.example.com 127.0.0.1:PORT" for Chromium, with further
  // rules ("MAP other.example.com 127.0.0.1:1") after a comma.
  std::string host_rule(const std::string& more_rules = {}) const;

  // Plain HTTP GET/POST to 127.0.0.1:PORT (no browser); body text, "" on failure.
  std::string get(const std::string& path) const;
  std::string post(const std::string& path, const std::string& form_body) const;

 private:
  int pid_ = -1;
  int port_ = 0;
};

// Percent-encoding of a form value: every byte but letters, digits, '-', '_' and '.'.
std::string url_encode(const std::string& s);

// Path of the built demo binary (set at compile time by the test's CMake).
std::string demo_binary();

}  // namespace testsupport
