#include <stdexcept>

#include "vantle/agent/engine.h"

namespace vantle::agent {

namespace {

std::string text_at(const Json& record, const char* key) {
  auto it = record.find(key);
  return it != record.end() && it->is_string() ? it->get<std::string>() : std::string();
}

class PageEngine final : public Engine {
 public:
  PageEngine(browser::RemotePtr page, browser::DialogSourcePtr dialogs, browser::ScanHooks hooks)
      : page_(page), hooks_(std::move(hooks)), actions_(std::move(page), std::move(dialogs)) {}

  PageScan scan() override {
    browser::ScanResult found = browser::scan_page(page_, hooks_, memo_);
    return PageScan{std::move(found.elements), std::move(found.text_elements)};
  }

  Json act(const Json& record, const Json& element) override {
    std::string action = text_at(record, "action"), value = text_at(record, "value");
    if (action == "click") return actions_.click(element);
    if (action == "type") return actions_.type_text(element, value), Json(nullptr);
    if (action == "hover") return actions_.hover(element), Json(nullptr);
    if (action == "select") return actions_.select_option(element, value), Json(nullptr);
    if (action == "extract_text") return actions_.extract_text(element);
    throw std::logic_error("no element action for " + action);
  }

  void keys(const Json& record) override {
    if (text_at(record, "action") == "press_key") {
      actions_.press_key(text_at(record, "target"));
    } else {
      actions_.send_keys(text_at(record, "value"));
    }
  }

  std::string dialog(const std::string& action) override {
    if (action == "accept_dialog") return actions_.accept_dialog();
    if (action == "dismiss_dialog") return actions_.dismiss_dialog();
    return actions_.get_dialog_message();
  }

 private:
  browser::RemotePtr page_;
  browser::ScanHooks hooks_;
  browser::ScanMemo memo_;
  browser::Actions actions_;
};

}  // namespace

EnginePtr page_engine(browser::RemotePtr page, browser::DialogSourcePtr dialogs, browser::ScanHooks hooks) {
  return std::make_shared<PageEngine>(std::move(page), std::move(dialogs), std::move(hooks));
}

}  // namespace vantle::agent
