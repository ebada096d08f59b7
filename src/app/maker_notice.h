#pragma once
// The maker's notice page read at start-up (connection check, friend link) and the
// once-per-account letter prompt.

#include <QString>

#include <string>

class QWidget;

namespace app {

struct FriendLink {
  std::string title;    // GBK
  std::string address;  // GBK
};

// Address of the notice page: site + "/xzrj.htm" (site without trailing slash).
std::string notice_address(const std::string& site);

// Step A: one fetch of the notice page; true when it returned text.
bool notice_reachable(const std::string& site);
// Step B: two more fetches, the title between "[友情标题1]" and "[/友情标题1]" from the
// first and the address between "[友情1]" and "[/友情1]" from the second.
FriendLink read_friend_link(const std::string& site);

// The connection-error question ("信息："). Yes starts a new instance of the executable
// without waiting; both answers then end the process with exit code 0 (through
// QCoreApplication::exit and std::exit). Does not return.
[[noreturn]] void connection_error_and_exit(QWidget* parent);

// Step D: unless the flag "dycsy11" exists under the current user's
// "Software\Microsoft\Windows\Tarnik", asks the letter question; Yes writes the flag
// and opens letter_url in the default browser (nothing is opened when it is empty).
void letter_prompt(QWidget* parent, const QString& letter_url);

// Test hooks: the QSettings scope of the flag (organisation, application) can be
// redirected so tests never touch the real user's settings.
void set_letter_flag_scope(const QString& organisation, const QString& application);
bool letter_flag_present();

}  // namespace app
