#pragma once
/// The browser side of the agent: scan, act, keys, dialogs. Records are plain
/// JSON values with the keys the modules document; resolving a step on a scan
/// is pure work, done by the step pipeline (pipeline.h).

#include <functional>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "vantle/browser/actions.h"
#include "vantle/browser/page_scanner.h"

namespace vantle::agent {

using Json = nlohmann::ordered_json;

class ScanRecords;

/// One scan of the page: interactable element descriptors and text elements.
struct PageScan {
  Json elements = Json::array();
  Json text_elements = Json::array();
  /// A table step's row as the page has it (browser::Actions::find_cell):
  /// the table's structure is not in the records. Null for other steps.
  Json row = nullptr;
  /// The page asked for a new page (a pop-up, a link to another window)
  /// that the browser may not have reported yet.
  bool opened_page = false;
  /// The records as the resolvers read them (resolution.h), made once for
  /// every step that finds the page as this scan did; null until first used.
  mutable std::shared_ptr<const ScanRecords> typed;
};

class Engine {
 public:
  virtual ~Engine() = default;
  /// Scans the page in its current state.
  virtual PageScan scan() = 0;
  /// Asks the scans that follow to set this navigation mark (navigation.h)
  /// in the same browser call, sparing the action its own call; 0 stops.
  virtual void mark_in_scans(long) {}
  /// Whether the last scan set `token` on `page`.
  virtual bool marked(long /*token*/, const browser::RemotePtr& /*page*/) const { return false; }
  /// The element action of the record (browser::perform) on `element`;
  /// returns the clicked or extracted text, or null.
  virtual Json act(const Json& record, const Json& element) = 0;
  /// Whether the driver itself waited for any navigation the last act
  /// started (browser::perform's `driver_followed`).
  virtual bool driver_followed() const { return false; }
  /// "press_key" or "sendkeys" with the record's target / value.
  virtual void keys(const Json& record) = 0;
  /// "accept_dialog", "dismiss_dialog" or "verify_dialog": the dialog's message.
  virtual std::string dialog(const std::string& action) = 0;
};

using EnginePtr = std::shared_ptr<Engine>;

/// The page an engine works on when it is called: steps open and switch tabs.
using PageSource = std::function<browser::RemotePtr()>;

/// The engine over the live page `page` names: the scanner with `hooks`, the
/// browser actions, and `dialogs` for the pages' native dialogs.
EnginePtr page_engine(PageSource page, browser::DialogSourcePtr dialogs, browser::ScanHooks hooks);

}  // namespace vantle::agent
