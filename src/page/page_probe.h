#pragma once
// What a browser shows right now, read in one call: the documents (the top one and every
// reachable frame's) with their identity, ready state and address, and which of a few
// elements each holds. The step runner compares it with what a step expects.

#include <QString>

#include <string>
#include <vector>

class QWidget;

namespace page {

struct ShownDocument {
  QString identity;          // stays while the document is shown, new with every load
  bool complete = false;     // its ready state is "complete"
  QString address;
  std::vector<bool> holds;   // per key asked for
  std::vector<int> selected; // per select asked for: its selected index (-1: not there)
  bool login_form = false;   // holds the login form (UserName and Password2)
  bool top = false;
};

struct PageState {
  bool read = false;         // the page answered
  bool loading = false;      // the browser's main frame is loading
  std::vector<ShownDocument> documents;  // top first
  const ShownDocument* top() const { return documents.empty() ? nullptr : &documents.front(); }
};

// Keys are GBK, matched against id, name, title and input value, and the text of links and
// buttons; selects by id or name.
PageState probe_page(QWidget* browser_handle, const std::vector<std::string>& keys = {},
                     const std::vector<std::string>& selects = {});

}  // namespace page
