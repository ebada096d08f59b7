#pragma once
// Memory and files of the application's processes, read from /proc: the proportional set
// size of this process and of the browser engine's processes (its descendants, the demo
// server left out), and this process's open file descriptors; and this process's heap in
// use, from the allocator (free of the page sharing that moves the proportional sizes).

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

#include <malloc.h>
#include <unistd.h>

#include <cstring>
#include <utility>
#include <vector>

namespace bench {

// Kilobytes of one /proc/PID/smaps_rollup line ("Pss:" or "Rss:").
inline long rollup_kb(int pid, const char* key) {
  QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith(key))
      return line.mid(static_cast<int>(std::strlen(key))).trimmed().split(' ').value(0).toLong();
  return 0;
}

// root and every descendant (by parent id in /proc/PID/stat).
inline std::vector<int> process_tree(int root) {
  std::vector<std::pair<int, int>> all;  // pid, parent
  for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    bool ok = false;
    const int pid = name.toInt(&ok);
    if (!ok) continue;
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QByteArray stat = f.readAll();
    const int close = stat.lastIndexOf(')');
    const QList<QByteArray> rest = stat.mid(close + 2).split(' ');
    if (rest.size() > 1) all.emplace_back(pid, rest[1].toInt());
  }
  std::vector<int> tree = {root};
  for (std::size_t i = 0; i < tree.size(); ++i)
    for (const auto& [pid, parent] : all)
      if (parent == tree[i]) tree.push_back(pid);
  return tree;
}

// The child process whose command line holds name (-1: none).
inline int child_named(const char* name) {
  for (int pid : process_tree(getpid())) {
    QFile f(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (pid != getpid() && f.open(QIODevice::ReadOnly) && f.readAll().contains(name)) return pid;
  }
  return -1;
}

struct ProcessMemory {
  long main_pss_kb = 0;      // this process
  long main_private_kb = 0;  // … its pages shared with no other process
  long main_heap_kb = 0;     // … its heap in use (every malloc arena and mapped block)
  long engine_pss_kb = 0;    // the engine's processes
  int engine_processes = 0;
  int fds = 0;               // open by this process
};

// Leaves out the process other (the demo server) and its descendants.
inline ProcessMemory process_memory(int other) {
  ProcessMemory m;
  m.main_pss_kb = rollup_kb(getpid(), "Pss:");
  m.main_private_kb = rollup_kb(getpid(), "Private_Clean:") + rollup_kb(getpid(), "Private_Dirty:");
  const struct mallinfo2 heap = mallinfo2();
  m.main_heap_kb = static_cast<long>((heap.uordblks + heap.hblkhd) / 1024);
  std::vector<int> skip = other > 0 ? process_tree(other) : std::vector<int>{};
  for (int pid : process_tree(getpid())) {
    if (pid == getpid()) continue;
    bool skipped = false;
    for (int s : skip) skipped = skipped || s == pid;
    if (skipped) continue;
    m.engine_pss_kb += rollup_kb(pid, "Pss:");
    ++m.engine_processes;
  }
  m.fds = static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System |
                                                                           QDir::Files | QDir::Dirs).size());
  return m;
}

}  // namespace bench
