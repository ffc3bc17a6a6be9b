// The batched scan's script: the in-page pass of js/batch_scan.js, handed the
// scanner's selectors and the small scripts it shares with the element-by-
// element scan, so each of those is written once.

#include <functional>

#include "page_scripts.h"
#include "vantle/browser/page_scanner.h"

namespace vantle::browser {

namespace {

std::string build() {
  Json lists = Json::object();
  lists["interactable"] = INTERACTABLE_SELECTOR;
  lists["custom"] = CUSTOM_INPUT_SELECTOR;
  lists["candidates"] = LABEL_CANDIDATE_SELECTOR;
  lists["text"] = TEXT_SELECTOR;
  lists["notOwn"] = NOT_OWN_WORDS;
  lists["captured"] = CAPTURED_ATTRIBUTES;
  lists["textAttributes"] = TEXT_ATTRIBUTES;
  lists["maxLabelHeight"] = MAX_LABEL_HEIGHT;
  std::string scripts = std::string("{elementPath: (") + js::element_path + "), siblingLabel: (" + js::sibling_label +
                        "), parentLabel: (" + js::parent_label + "), cellLabel: (" + js::cell_label + "), ownWords: (" + js::own_words + "), pointerScan: (" + js::pointer_scan +
                        "), shownText: (" + js::shown_text + "), iconName: (" + js::icon_name +
                        "), checkedState: (" + js::checked_state + "), textBox: (" + js::text_box +
                        "), labelText: (" + js::label_text + "), labelledbyText: (" + js::labelledby_text +
                        "), nativeLabelText: (" + js::native_label_text + ")}";
  std::string scan = std::string("() => (") + js::batch_scan + ")(Object.assign(" + lists.dump() + ", " + scripts + "))";
  // The page keeps the scan once made: a function made afresh by every call
  // starts cold each time, while one kept warms up in the page's JIT compiler
  // (about a third of a small page's scan). The key names this very script.
  std::string key = "__vantleScan" + std::to_string(std::hash<std::string>{}(scan));
  return "() => {\n  let scan = window['" + key + "'];\n  if (typeof scan !== 'function') {\n    scan = (" + scan +
         ");\n    try {\n      Object.defineProperty(window, '" + key +
         "', {value: scan, configurable: true});\n    } catch (e) {\n      // a window closed to new properties: scan cold\n    }\n  }\n  return scan();\n}";
}

}  // namespace

const std::string& batch_scan_script() {
  static const std::string script = build();
  return script;
}

namespace {

// The page checks its watch and scans when it changed. A leading '+' says
// the page asked for a new page since the last scan; an answer of '~' and a
// list says only boxes were ticked since (ScanMemo::ticks). A mark, when
// given, is set for the action that may follow (navigation.h).
std::string watched_scan_body() {
  return std::string("(key, since, mark) => {\n  if (mark) (") + js::navigation_mark +
         ")(mark);\n  const opened = window.__vantleOpened ? '+' : '';\n  (" + js::open_watch +
         ")();\n  window.__vantleOpened = false;\n  const watch = window[key];\n"
         "  if (since && watch && watch.id === since && watch.unchanged())\n"
         "    return opened + watch.ticks(" + js::element_path + ");\n"
         "  // Frames are watched each in its own document: with any here, install no watch.\n"
         "  if (window.frames.length && watch) { watch.stop(); delete window[key]; }\n"
         "  const id = window.frames.length ? '' : (" + js::scan_watch + ")(key);\n"
         "  return opened + id + '\\n' + (" + batch_scan_script() + ")();\n}";
}

// The name the page keeps the script under: it names this very script.
const std::string& kept_name() {
  static const std::string name = "__vantleWatchedScan" + std::to_string(std::hash<std::string>{}(watched_scan_body()));
  return name;
}

}  // namespace

const std::string& watched_scan_script() {
  static const std::string script = "([key, since, mark]) => {\n  const run = (" + watched_scan_body() +
                                    ");\n  try {\n    Object.defineProperty(window, '" + kept_name() +
                                    "', {value: run, configurable: true});\n  } catch (e) {\n"
                                    "    // a window closed to new properties: sent in full each time\n  }\n"
                                    "  return run(key, since, mark);\n}";
  return script;
}

// Tens of kilobytes less to send and compile on each step; null when the page
// does not have the script (a new document), which is then sent in full.
const std::string& kept_watched_scan_script() {
  static const std::string script = "([key, since, mark]) => {\n  const run = window['" + kept_name() +
                                    "'];\n  return typeof run === 'function' ? run(key, since, mark) : null;\n}";
  return script;
}

}  // namespace vantle::browser
