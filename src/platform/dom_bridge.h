#pragma once
// Synchronous calls into the agent script that runs in an isolated JavaScript world of
// a BrowserView's page. Element and document handles are ids into the agent's table.

#include <QJsonArray>
#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

namespace platform {

class BrowserView;

// Isolated world of the agent (page scripts cannot see or break it).
inline constexpr unsigned kAgentWorld = 1;  // QWebEngineScript::ApplicationWorld

class DomBridge;

// One entry of the agent's handle table. The last copy of an Element releases the
// entry. An Element from another document, or an empty one, does nothing.
class Element {
 public:
  Element() = default;
  bool empty() const { return !entry_; }
  explicit operator bool() const { return !empty(); }
  int id() const;            // agent table id, 0 when empty
  QString document() const;  // token of the document the entry belongs to
  DomBridge* bridge() const;  // nullptr when empty or the bridge is gone
  // The handle as the agent takes it: [document token, id]; null when empty.
  QJsonValue ref() const;

 private:
  friend class DomBridge;
  struct Entry;
  std::shared_ptr<Entry> entry_;
};

class DomBridge : public QObject {
  Q_OBJECT
 public:
  explicit DomBridge(BrowserView* view);
  ~DomBridge() override;

  // Time-out of a synchronous call (the document request: 1000 ms).
  static constexpr int kTimeoutMs = 1000;

  // Runs the agent function fn with args (JSON array) and waits for its result.
  // ok is false on time-out, a missing view, or an exception in the agent.
  // A result that arrives after the time-out is dropped. Time spent in script message
  // boxes that open during the call does not count against the time-out, up to a cap;
  // after a call gave up on boxes that kept coming, calls on this view fail at once
  // for as long as boxes keep coming (a storm of alerts never lets the page answer).
  QJsonValue call(const QString& fn, const QJsonArray& args, bool* ok = nullptr,
                  int timeout_ms = kTimeoutMs);
  // Runs script text in the page's main world and waits (same rules).
  QJsonValue run_main_world(const QString& script, bool* ok = nullptr, int timeout_ms = kTimeoutMs);

  // Token of the document now shown ("" when none could be obtained in time).
  QString document_token(int timeout_ms = kTimeoutMs);

  // Wraps an agent table id as a handle (releases it when the last copy goes).
  Element wrap(int id, const QString& document);
  BrowserView* view() const;

  // Test hook: entries in the agent's handle table (releases dropped handles first);
  // -1 when the agent could not be reached.
  int agent_table_size();
  // Calls made within this many milliseconds of loadFinished wait until it has passed.
  static constexpr int kSettleMs = 5;

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace platform
