#include <stdexcept>
#include <utility>

#include "vantle/agent/engine.h"
#include "vantle/agent/resolution.h"
#include "vantle/records/json.h"

namespace vantle::agent {

namespace {

class PageEngine final : public Engine {
 public:
  PageEngine(PageSource page, browser::DialogSourcePtr dialogs, browser::ScanHooks hooks)
      : page_(std::move(page)), dialogs_(std::move(dialogs)), hooks_(std::move(hooks)) {}

  PageScan scan() override {
    browser::RemotePtr page = page_();
    browser::ScanResult found = browser::scan_page(page, hooks_, memo_);
    marked_page_ = memo_.marked ? page : nullptr;
    PageScan scan{std::move(found.elements), std::move(found.text_elements)};
    scan.opened_page = std::exchange(memo_.opened, false);
    // Most steps find the page as the step before left it, or with a box
    // ticked: only what changed is read again. Records a scan still holds
    // stay as they are. A memo that kept its watch and version answered
    // with the very records read last time.
    const bool same = !memo_.watch.empty() && memo_.version == version_;
    const bool kept =
        last_ && (same || (last_.use_count() == 1 ? last_->take_on(scan) : last_->stand_for(scan)));
    if (!kept) last_ = std::make_shared<ScanRecords>(scan);
    version_ = memo_.version;
    scan.typed = last_;
    return scan;
  }

  Json act(const Json& record, const Json& element) override {
    followed_ = false;
    return browser::perform(actions(), record, element, &followed_);
  }

  bool driver_followed() const override { return followed_; }

  void mark_in_scans(long token) override { memo_.mark = token; }

  bool marked(long token, const browser::RemotePtr& page) const override {
    return token && memo_.marked == token && marked_page_ && marked_page_->same(*page);
  }

  void keys(const Json& record) override {
    followed_ = false;
    if (records::text_at(record, "action") == "press_key") {
      actions().press_key(records::text_at(record, "target"));
    } else {
      actions().send_keys(records::text_at(record, "value"));
    }
  }

  std::string dialog(const std::string& action) override {
    if (action == "accept_dialog") return actions().accept_dialog();
    if (action == "dismiss_dialog") return actions().dismiss_dialog();
    return actions().get_dialog_message();
  }

 private:
  // Built for each call: the page shown changes as steps open and close tabs.
  browser::Actions actions() const { return browser::Actions(page_(), dialogs_); }

  PageSource page_;
  browser::DialogSourcePtr dialogs_;
  browser::ScanHooks hooks_;
  browser::ScanMemo memo_;
  std::shared_ptr<ScanRecords> last_;
  std::size_t version_ = 0;  // the memo's version when last_ was last brought up to date
  bool followed_ = false;
  browser::RemotePtr marked_page_;
};

}  // namespace

EnginePtr page_engine(PageSource page, browser::DialogSourcePtr dialogs, browser::ScanHooks hooks) {
  return std::make_shared<PageEngine>(std::move(page), std::move(dialogs), std::move(hooks));
}

}  // namespace vantle::agent
