#pragma once
// One Tessaro per data directory: a lock file in it, taken at start-up before anything is
// written there and held for the whole run. The lock of a process that is gone (killed,
// crashed) is taken over; the lock of a running one never is, however old.

#include <QString>

#include <memory>
#include <string>

class QLockFile;

namespace app {

// The lock file's name in the data directory.
inline constexpr const char* kLockFileName = "tessaro.lock";
// What a second start on the same data directory says before it ends.
inline const QString kAlreadyRunning = QStringLiteral("Tessaro已在运行（同一数据目录）");

class InstanceLock {
 public:
  enum class State { held, busy, failed };

  explicit InstanceLock(const std::string& data_dir);
  ~InstanceLock();  // releases the lock
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  State state() const { return state_; }
  // What the constructor found (release() does not change it). failed: why, in one line.
  QString problem() const { return problem_; }
  // Removes the lock file (when held); later calls do nothing.
  void release();

 private:
  std::unique_ptr<QLockFile> file_;
  State state_ = State::failed;
  QString problem_;
};

}  // namespace app
