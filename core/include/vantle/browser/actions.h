#pragma once
/// Browser actions on a resolved element: click, type, hover, keys, option
/// selection, native dialogs and text extraction.
///
/// The element is an element descriptor as the page scanner builds it (a JSON
/// object with `tag`, `text`, `attributes`, `bounding_box`, `xpath`); every key
/// may be missing. The page, the browser manager and everything Playwright
/// hands back are reached through Remote handles (remote.h). Strings are UTF-8.
///
/// Failures that the actions report themselves are ActionError, carrying the
/// fixed message and, when a browser call failed underneath, that call's error
/// as the cause. Other browser errors (from hover, keys, native selection)
/// propagate unchanged.

#include <exception>
#include <functional>
#include <stdexcept>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vantle/browser/remote.h"

namespace vantle::browser {

/// Lower-case key names and the Playwright key each stands for, in table order.
extern const std::vector<std::pair<std::string, std::string>> KEYMAP;
/// The Playwright key for a key name: the KEYMAP entry of its lower-cased form,
/// else the name unchanged (combinations such as "Control+c" pass through).
std::string playwright_key(std::string_view key);

/// Scrolls the scrollable area under the window's centre (else the page) down
/// by most of its visible height.
extern const char* const SCROLL_DOWN_JS;

/// Run on the element before clicking or typing.
extern const char* const SCROLL_JS;
/// Before typing: "click" when a click at the element's centre reaches it;
/// otherwise the element is focused, and "focused" says that it took the focus.
extern const char* const FOCUS_FOR_TYPING_JS;
/// The topmost element at a viewport point; the argument is [x, y].
extern const char* const POINT_JS;
/// The labels of a native select's options, evaluated on its locator.
extern const char* const OPTION_LABELS_JS;
/// The label of a native select's selected option, evaluated on its locator.
extern const char* const SELECTED_LABEL_JS;
/// The same label, evaluated with an element handle as argument by extract_text.
extern const char* const SELECT_TEXT_JS;
/// Takes an element inside a frame; scrolls it as SCROLL_JS does and returns
/// [left, top, width, height, inner text, reached] in its document's view.
extern const std::string FRAME_SPOT_JS;
/// Takes an element path; scrolls that element as SCROLL_JS does and returns
/// its inner text, or null when the path finds no HTML element.
extern const std::string SCROLLED_TEXT_JS;
/// Takes an element path; scrolls that element as SCROLL_JS does and returns
/// what FOCUS_FOR_TYPING_JS answers for it, or null when the path finds no
/// HTML element.
extern const std::string SCROLLED_FOCUS_JS;
/// Takes [path, x, y]: "" when a press of the top page at (x, y) reaches the
/// element at the path, else what would take it; null when the path finds
/// no HTML element.
extern const std::string PRESS_REACH_JS;
/// Takes an element path; scrolls that element as SCROLL_JS does and returns
/// [x, y, reach]: its centre in the viewport and whether the pointer there
/// reaches it (as PRESS_REACH_JS says); null when the path finds no element.
extern const std::string HOVER_SPOT_JS;

/// Waits, in milliseconds.
inline constexpr int HANDLE_TIMEOUT_MS = 2000;  // locator attempt of element_handle
inline constexpr int OPEN_PAUSE_MS = 300;       // after opening a custom drop-down
inline constexpr int EDITOR_SETTLE_MS = 400;    // after typing into a rich editor
inline constexpr int OPTION_TIMEOUT_MS = 1500;  // for each candidate option

/// A custom drop-down option selector: prefix + requested label + suffix.
struct OptionSelector {
  std::string prefix;
  std::string suffix;
  std::string with(std::string_view value) const { return prefix + std::string(value) + suffix; }
};
/// Tried in order by select_custom.
extern const std::vector<OptionSelector> OPTION_SELECTORS;

/// Serialises text as a CSS identifier exactly as the browser's CSS.escape
/// does, so "#" + css_escape(id) selects precisely the element with that id.
std::string css_escape(std::string_view utf8);

/// A failed action. what() is the full message; when a browser call failed
/// underneath, head() + the message of reason() make up the message and
/// cause() is the error the action is reported as caused by.
class ActionError : public std::runtime_error {
 public:
  explicit ActionError(const std::string& message);
  ActionError(const std::string& head, std::exception_ptr reason, std::exception_ptr cause);
  const std::string& head() const { return head_; }
  std::exception_ptr reason() const { return reason_; }
  std::exception_ptr cause() const { return cause_; }

 private:
  std::string head_;
  std::exception_ptr reason_;
  std::exception_ptr cause_;
};

/// The message of a caught exception (its what()).
std::string message_of(const std::exception_ptr& error);

struct Point {
  double x = 0;
  double y = 0;
};

/// An element inside embedded frames as it shows now, scrolled into view.
struct FrameSpot {
  Point centre;             // in the top page
  bool driver_off = false;  // the driver's own presses would land elsewhere
  bool reached = false;     // a press at the centre reaches the element or its label
  std::string text;         // its inner text, trimmed
};

/// Where the actions find the native dialog the page holds pending.
class DialogSource {
 public:
  virtual ~DialogSource() = default;
  /// The pending dialog, or null.
  virtual RemotePtr pending() = 0;
  /// Forgets the dialog last handed out by pending().
  virtual void forget() = 0;
};
using DialogSourcePtr = std::shared_ptr<DialogSource>;

/// The failure of a dialog operation with nowhere to find dialogs.
inline constexpr const char* NO_DIALOG_SOURCE = "No browser manager \u2014 cannot handle dialogs.";

/// A browser manager object reached through its get_dialog / clear_dialog methods.
DialogSourcePtr manager_dialogs(RemotePtr browser_manager);

/// Drives one live page. Keeps no mutable state; use it from the page's thread.
class Actions {
 public:
  /// `browser_manager` may be null: the dialog operations then fail.
  explicit Actions(RemotePtr page, RemotePtr browser_manager = nullptr);
  Actions(RemotePtr page, DialogSourcePtr dialogs);

  const RemotePtr& page() const { return page_; }

  /// A locator from the element's stable attributes (id, aria-label, href of
  /// a link, name, text), or null when it has none.
  RemotePtr build_locator(const Json& element) const;
  /// A live element handle through the locator, else the element at the
  /// scan-time centre point; null when there is none.
  RemotePtr element_handle(const Json& element) const;
  /// What finds the element's document: the page, or for an element inside
  /// embedded frames (frames.h) the frame locator of its frame.
  RemotePtr scope(const Json& element) const;
  /// A locator of the element by its own path in its document.
  RemotePtr at_path(const Json& element) const;
  /// The centre of the scan-time bounding box (0 for missing numbers).
  Point centre(const Json& element) const;
  /// For an element inside embedded frames, found by its path: where it
  /// shows now, scrolled into view. Null for anything else, or when it has
  /// no box or its frame shows nothing.
  std::optional<FrameSpot> frame_spot(const Json& element) const;

  /// Clicks through the xpath, then the stable-attribute locator, then the
  /// centre point; returns the clicked element's text. A click that opens a
  /// native dialog held pending by the browser manager ends there.
  std::string click(const Json& element) const;
  /// As click; `driver_followed` tells whether the driver's own locator click
  /// did it, which waits for a navigation it starts (the centre point does not).
  std::string click(const Json& element, bool& driver_followed) const;
  /// The click's three ways with the right button, or twice in a row.
  std::string right_click(const Json& element) const;
  std::string double_click(const Json& element) const;
  /// Focuses the element the same three ways, selects all and types `text`.
  void type_text(const Json& element, std::string_view text) const;
  void hover(const Json& element) const;
  void press_key(std::string_view key) const;
  void send_keys(std::string_view text) const;

  /// Selects the option labelled `value`; returns the label now selected.
  std::string select_option(const Json& element, std::string_view value) const;
  std::string select_native(const Json& element, std::string_view value) const;
  std::string select_custom(const Json& element, std::string_view value) const;

  /// Accept or dismiss the dialog the browser manager holds pending; both
  /// return its message.
  std::string accept_dialog() const;
  std::string dismiss_dialog() const;
  std::string get_dialog_message() const;

  /// Ticks or unticks a checkbox, radio button or switch, whatever it showed before.
  void set_checked(const Json& element, bool checked) const;
  /// Empties a text field.
  void clear(const Json& element) const;
  /// Attaches the file at `path` (absolute) to a file input.
  void upload(const Json& element, const std::string& path) const;
  void scroll_to(const Json& element) const;
  /// Drags the element onto `destination`.
  void drag(const Json& element, const Json& destination) const;

  /// Scrolls the scrollable area in the middle of the window, else the page,
  /// down by most of its visible height.
  void scroll_down() const;
  /// Goes one page back in the history; ActionError when there is none.
  void go_back() const;
  void reload() const;
  std::string url() const;
  std::string title() const;

  /// The table row `row` (a cell's text, or a number counted from 1 below the
  /// headings) and in it the cell under the column headed `column` (null:
  /// the whole row): {row: box, cell: box or null, text}; null when no table
  /// on the page has it.
  Json find_cell(const Json& row, const Json& column) const;

  /// Runs `act` on a live locator of the element: through its xpath, else its
  /// stable attributes. ActionError "Failed to <what> element ..." when
  /// neither works.
  void on_element(const Json& element, const char* what, const std::function<void(const RemotePtr&)>& act) const;

  /// The content a user sees: typed value, selected option label or inner text.
  std::string extract_text(const Json& element) const;
  /// Whether `text` occurs in the page body, ignoring letter case.
  bool find_text(std::string_view text) const;

 private:
  struct Press;
  std::string pointer(const Json& element, const Press& how, bool* driver_followed = nullptr) const;
  void click_through(const RemotePtr& locator, const Press& how, std::string& text) const;
  void press(const RemotePtr& locator, const Press& how) const;
  /// Waits for the document a press may have started; never fails the press.
  void settle() const;
  Json at_path_answer(const std::string& script, const std::string& xpath) const;
  std::optional<std::string> scrolled_text(const std::string& xpath) const;
  std::optional<FrameSpot> pressable_spot(const Json& element, std::exception_ptr& last) const;
  bool framed_set_checked(const Json& element, bool checked) const;
  bool framed_drag(const Json& element, const Json& destination) const;
  bool dialog_pending() const;
  Point hover_point(const Json& element) const;
  RemotePtr native_select(const Json& element) const;
  void require_reach(const Json& element, const Point& at, const std::string& head,
                     const std::exception_ptr& last) const;
  void type_into(const Json& element, std::string_view text) const;
  void type_through(const RemotePtr& locator, std::string_view text) const;
  void type_after(const RemotePtr& locator, bool focused, std::string_view text) const;
  void type_here(std::string_view text) const;
  RemotePtr pending_dialog(const char* none_message) const;
  std::string handle_dialog(const char* method, const char* none_message) const;

  RemotePtr page_;
  DialogSourcePtr dialogs_;
};

/// Carries out the element action a step record names (`action`; `value` is
/// the text to type, the option, or the absolute path of the file to upload;
/// `destination` the element a drag ends on). Returns the clicked or
/// extracted text, else null. std::runtime_error for an action that has
/// no element. `driver_followed`, when given, is set as click sets it (false
/// for every other action).
Json perform(const Actions& actions, const Json& record, const Json& element, bool* driver_followed = nullptr);

}  // namespace vantle::browser
