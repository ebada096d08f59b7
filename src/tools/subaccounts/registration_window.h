#pragma once
// The batch registration window: its own browser on the platform's sub-customer list,
// thirteen boxes that fill the "新建下级" form, and batches of registrations started by
// "3.注册" or by a timer every 10 minutes.

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "platform/browser_view.h"
#include "tools/common/tool_window.h"

class QJsonObject;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace tools::journal { class Run; }

namespace tools::subaccounts {

inline constexpr const char* kListPath = "/SubCustomerList.aspx";
inline constexpr const char* kNewLink = "新建下级";
inline constexpr const char* kSubmitButton = "Sumit";
// Where "安全控件下载" leads: the platform's security-control installer.
inline constexpr const char* kSecurityControlUrl = "http://www.quillory.com/download/QuilloryEdit.exe";
inline constexpr int kFieldCount = 13;
inline constexpr int kBatchLimit = 10;
inline constexpr int kBatchIntervalMs = 600000;
// The password typed by key presses into the form's two trade-password fields: five
// digit keys, then four letter keys (no shift: the letters arrive in lower case).
inline constexpr const char* kTypedPassword = "36915wmks";

// The boxes of the window: caption, the page field each fills, initial content.
struct FieldSpec {
  const char* caption;
  const char* field;
  const char* initial;
};
extern const std::array<FieldSpec, kFieldCount> kFields;

class RegistrationWindow : public ToolWindow {
  Q_OBJECT
 public:
  explicit RegistrationWindow(ToolContext& ctx);
  ~RegistrationWindow() override;

  // Window opened: name, title, confirmer, flags, the list page, the login reminder
  // (a modal box), the data directory. The batch timer starts here.
  void open();

  struct Controls {
    std::array<QLineEdit*, kFieldCount> fields{};  // in table order; fields[0] is the user name
    QLineEdit* typed_password = nullptr;  // 安全控件交易密码（模拟按键）：(read-only)
    QPushButton* start = nullptr;     // 3.注册
    QPushButton* stop = nullptr;      // 4.停止
    QPushButton* download = nullptr;  // 安全控件下载
    QLabel* status = nullptr;
    std::array<QLabel*, 3> notes{};
  };
  const Controls& controls() const { return c_; }
  platform::BrowserView* browser() const { return browser_; }
  QTimer* batch_timer() const { return timer_; }
  int counter() const { return counter_; }
  bool running_flag() const { return running_; }
  // A batch is under way (the timer's tick and "3.注册" wait for its end).
  bool in_batch() const { return in_batch_; }

 signals:
  void status_text_changed(const QString& text);
  // Step 11 clicked the form's submit button for this user name.
  void submitted(const QString& name);
  // A batch ended (stop, limit, a page without what the steps need, the login page).
  void batch_finished();

 public slots:
  void start_registration();  // "3.注册"
  void stop_registration();   // "4.停止"
  void download_control();    // "安全控件下载"
  // Every 10 minutes from the opening, and a tick deferred until the platform takes
  // registrations again.
  void batch_timer_fired();

 protected:
  // Ends the timer; no step runs after it. The browser's confirmer ends with the browser.
  void on_closing() override;

 private:
  void build();
  void set_status(const QString& text);
  void new_user_name();
  void run_batches(bool reset_counter);
  // How one registration went.
  enum class Outcome {
    submitted,      // the platform answered; step 12's click opened the next form (opened)
    not_done,       // a page did not come (or the user stopped): recorded, the batch goes on
    end_batch,      // the page lacks the link or the button the steps need: the batch ends
    login_expired,  // the platform's login page came: the batch ends
    gone,           // the window went or its closing work ran: no further step
  };
  // One registration, steps 1-12. opened: the page that the last registration's step 12
  // opened, awaited by this one's step 3.
  Outcome register_one(ToolRun& run, journal::Run& record, std::optional<PageMark>& opened);
  QJsonObject run_settings(bool by_timer) const;
  // Key presses for this window's browser only.
  void press_key(int key, const QString& text);
  void type_password();
  void give_browser_focus();

  ToolContext& ctx_;
  Controls c_;
  QPointer<platform::BrowserView> browser_;
  QTimer* timer_ = nullptr;
  int counter_ = 0;
  bool running_ = false;
  bool in_batch_ = false;
  bool ended_ = false;        // closing work done: no further step
  bool tick_pending_ = false;   // a timer tick came during a batch
  // That tick's batch, waiting until 10 minutes after the last batch's first submission.
  QTimer* deferred_ = nullptr;
  QElapsedTimer clock_;
  qint64 first_submission_ms_ = -1;  // on clock_; -1 before any submission
  bool submitted_in_batch_ = false;
  bool start_pending_ = false;  // "3.注册" was pressed again during a batch (after stop)
  // Whether "新建下级" loads a page for the form, as its last click in the batch showed.
  std::optional<bool> link_loads_;
};

}  // namespace tools::subaccounts
