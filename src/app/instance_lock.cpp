#include "app/instance_lock.h"

#include <QLockFile>

#include "settings/settings.h"

namespace app {

InstanceLock::InstanceLock(const std::string& data_dir) {
  const QString path = QString::fromStdString(settings::data_path(data_dir, kLockFileName));
  file_ = std::make_unique<QLockFile>(path);
  // Never stale by age: a Tessaro may run for weeks. A lock is stale only when the process
  // that wrote it is gone (or its number now belongs to another program).
  file_->setStaleLockTime(0);
  if (file_->tryLock(0)) {
    state_ = State::held;
    return;
  }
  switch (file_->error()) {
    case QLockFile::LockFailedError: state_ = State::busy; break;
    case QLockFile::PermissionError:
      state_ = State::failed;
      problem_ = QStringLiteral("无法在数据目录中建立锁文件 %1：没有写入权限").arg(path);
      break;
    default:
      state_ = State::failed;
      problem_ = QStringLiteral("无法在数据目录中建立锁文件 %1").arg(path);
      break;
  }
}

InstanceLock::~InstanceLock() { release(); }

void InstanceLock::release() {
  if (state_ == State::held && file_->isLocked()) file_->unlock();
}

}  // namespace app
