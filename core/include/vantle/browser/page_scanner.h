#pragma once
/// Page scanning: turns the live page into element descriptors (everything a
/// user can click, type into or pick) and text elements (readable text), as
/// plain JSON records with keys in record order.
///
/// Usage from C++ (the page is any RemotePtr on a Playwright sync page):
///
///   vantle::browser::PageScanner scanner(page, hooks);
///   auto [elements, texts] = scanner.extract_interactable_elements();
///
/// or `scan_page(page, hooks)`, which takes the path (batched or element by
/// element) from the configured scan mode.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "vantle/browser/remote.h"

namespace vantle::browser {

// ---- constants -----------------------------------------------------------

extern const std::vector<std::string> NATIVE_TAGS;
extern const std::vector<std::string> ARIA_ROLES;
extern const std::string INTERACTABLE_SELECTOR;
extern const std::vector<std::string> CAPTURED_ATTRIBUTES;
extern const std::string CUSTOM_INPUT_SELECTOR;
extern const std::vector<std::string> TEXT_TAGS;
extern const std::string TEXT_SELECTOR;
/// Attributes a text element records, in order.
extern const std::vector<std::string> TEXT_ATTRIBUTES;
extern const std::string LABEL_CANDIDATE_SELECTOR;

/// Longest text (code points) of a spatial label candidate.
inline constexpr std::size_t MAX_LABEL_TEXT = 60;
/// Tallest spatial label candidate in CSS pixels (taller is a container).
inline constexpr double MAX_LABEL_HEIGHT = 40;

// In-page scripts; each takes the element as its only argument unless noted.
extern const std::string TAG_JS;
extern const std::string DATA_ATTRS_JS;
extern const std::string XPATH_JS;
/// Text elements, fields and scripts: what an element's own words leave to the elements inside it.
extern const std::string NOT_OWN_WORDS;
extern const std::string DIRECT_TEXT_JS;
/// innerText, except that a drop-down shows only its chosen option; fails
/// outside HTML as innerText does.
extern const std::string SHOWN_TEXT_JS;
/// [name] for a control that shows an icon and no words, else null.
extern const std::string ICON_NAME_JS;
extern const std::string CHECKED_STATE_JS;
/// "x,y,width,height" of an element's own words when smaller than its box, else null.
extern const std::string TEXT_BOX_JS;
extern const std::string SIBLING_LABEL_JS;
extern const std::string PARENT_LABEL_JS;
/// The label a form laid out as a table gives a field in the cell before its own.
extern const std::string CELL_LABEL_JS;
/// The texts of the elements aria-labelledby names, joined; null when none.
extern const std::string LABELLEDBY_JS;
/// The text of the <label> naming the element (by `for` or by wrapping it),
/// without the control's own content; null when none.
extern const std::string NATIVE_LABEL_JS;
/// Takes no argument; returns the pointer-cursor items.
extern const std::string POINTER_SCAN_JS;
/// Takes no argument; returns one JSON text with the facts of every element
/// group, label candidate and text element of a scan.
const std::string& batch_scan_script();

// ---- settings and hooks --------------------------------------------------

/// Element by element (one browser call per element and property), or
/// batched (one in-page call for the whole scan; same records).
enum class ScanMode { batched, per_element };

/// Engine settings, read anew at every scan.
struct ScanSettings {
  bool save_snapshots = false;
  std::string log_path = "data/logs/";
  ScanMode mode = ScanMode::batched;
};

/// How the scanner reaches the outside world besides the page.
struct ScanHooks {
  /// Current settings; when unset, the defaults above.
  std::function<ScanSettings()> settings;
  /// Writes one console line; when unset, standard output.
  std::function<void(const std::string&)> print;
};

// ---- pure helpers on plain structs -----------------------------------------

struct Box {
  double x = 0, y = 0, width = 0, height = 0;
};

struct TextCandidate {
  std::string text;  // UTF-8
  bool has_direct_text = false;
  Box box;
};

/// For each target box (none: never labelled), the index of the candidate box
/// that labels it: the nearest one entirely above whose horizontal extent
/// overlaps or touches, earliest on ties; -1 when there is none.
std::vector<long> choose_spatial_labels(const std::vector<std::optional<Box>>& targets,
                                        const std::vector<Box>& candidates);
/// Straightforward quadratic form of choose_spatial_labels (kept for checking).
std::vector<long> choose_spatial_labels_simple(const std::vector<std::optional<Box>>& targets,
                                               const std::vector<Box>& candidates);

/// Indices of the candidates kept: those with direct text, and those that no
/// strictly smaller, overlapping candidate with a contained text dominates.
std::vector<std::size_t> dedup_text_indices(const std::vector<TextCandidate>& candidates);
/// Straightforward quadratic form of dedup_text_indices (kept for checking).
std::vector<std::size_t> dedup_text_indices_simple(const std::vector<TextCandidate>& candidates);

/// True when a non-native element looks like an editable field by class name.
bool is_custom_input(std::string_view tag, std::string_view classes);

/// A box record ({x, y, width, height}) as a Box; throws on a missing coordinate.
Box box_of(const Json& record);

/// What makes a label candidate count once: its words and where they sit.
std::string label_candidate_key(const std::string& text, const Box& box);

/// Sets attributes._label in place on descriptors without a label.
void assign_spatial_labels(Json& elements, const Json& label_candidates);
/// As above, from the candidates' boxes and texts (same order).
void assign_spatial_labels(Json& elements, const std::vector<Box>& boxes, const std::vector<std::string>& texts);
/// The kept text elements, in input order.
Json dedup_text_elements(const Json& candidates);

/// The page address made file-name friendly: "://" and "/" become "_", cut
/// to 60 characters.
std::string url_slug(std::string_view url);
/// The snapshot document: {"url", "elements", "text_elements"}, indented by
/// two spaces, non-ASCII escaped, no trailing newline.
std::string snapshot_json(std::string_view url, const Json& elements, const Json& text_elements);
/// Writes a snapshot under `dir` named by `timestamp` and address, never
/// replacing an existing file (later ones get _2, _3, ...); returns its path.
std::string write_snapshot(const std::string& dir, std::string_view timestamp, std::string_view url,
                           const Json& elements, const Json& text_elements);
/// The local time as "%Y%m%d_%H%M%S".
std::string local_timestamp();

// ---- the scanner -----------------------------------------------------------

struct ScanResult {
  Json elements = Json::array();
  Json text_elements = Json::array();
};

namespace detail {
struct FrameView;
struct ChildFrame;
}  // namespace detail
struct ScanMemo;

class PageScanner {
 public:
  explicit PageScanner(RemotePtr page, ScanHooks hooks = {}, bool batched = false);

  /// Scans the page and every frame embedded in it (see frames.h).
  ScanResult extract_interactable_elements();
  Json extract_custom_inputs();
  Json extract_cursor_pointer_elements();
  std::string get_field_label(const RemotePtr& handle);
  Json collect_label_candidates();
  Json extract_text_elements();
  void save_snapshot(const Json& elements, const Json& text_elements);
  /// The records of the facts a batched scan's in-page pass returned.
  ScanResult records_of(std::string_view facts_json);

  const RemotePtr& page() const { return page_; }
  /// With a memo, batched scans of a page with frames read again only the
  /// documents that changed since the memo's last scan (see ScanMemo).
  void remember_in(ScanMemo* memo) { memo_ = memo; }

 private:
  Json interactable_group();
  std::optional<Json> interactable_record(const RemotePtr& handle);
  std::optional<Json> custom_input_record(const RemotePtr& handle, std::unordered_set<std::string>& seen);
  std::optional<Json> text_record(const RemotePtr& handle);
  ScanSettings settings() const;
  ScanResult batched_scan(const std::vector<detail::ChildFrame>& children, Json& geometry);
  ScanResult document_scan(const std::vector<detail::ChildFrame>& children, Json& geometry);
  ScanResult records_from(std::string_view facts_json);
  ScanResult scan_frames();
  Json box_of_handle(const RemotePtr& handle);

  ScanResult remembered_scan(const std::vector<detail::ChildFrame>& children, Json& geometry);

  PageScanner(RemotePtr frame, ScanHooks hooks, bool batched, std::shared_ptr<const detail::FrameView> view);

  RemotePtr page_;
  ScanHooks hooks_;
  bool batched_;
  std::shared_ptr<const detail::FrameView> view_;  // null: the top page
  ScanMemo* memo_ = nullptr;                        // set: documents that did not change are not read again
};

/// Scans the page in the configured mode (ScanSettings::mode).
ScanResult scan_page(const RemotePtr& page, const ScanHooks& hooks = {});

/// The last batched scan of one page, with the id of the in-page watch that
/// tells whether the page may have changed since it was read.
struct ScanMemo {
  ScanMemo();
  std::string key;    // the page's name for this memo's watch
  std::string watch;  // empty: nothing to reuse
  ScanResult last;
  std::size_t scans = 0;   // scans asked for
  std::size_t reused = 0;  // of which answered from `last`, or wholly from `documents`
  bool opened = false;     // the page asked for a new page since the scan before
  std::size_t ticks = 0;   // scans that only mended the ticked state of boxes
  /// A navigation mark (navigation.h) for the page's scans to set, in the
  /// same call, for the action that may follow; 0 for none.
  long mark = 0;
  long marked = 0;  // the mark the last scan set, 0 if it set none
  /// Changes whenever the records do (read afresh or mended): equal versions
  /// mean the same records.
  std::size_t version = 0;

  /// On a page with embedded frames each document (the page's and each
  /// frame's) keeps a watch of its own, and its last records in its own
  /// coordinates: a scan reads afresh only the documents that changed.
  struct Document {
    RemotePtr target;  // the page or frame object
    std::string watch;
    ScanResult records;
    bool seen = false;  // read in the scan under way
  };
  std::vector<Document> documents;
  std::size_t documents_read = 0;  // documents read afresh, over all scans
};

/// As scan_page, but a batched scan first asks the page, in the same call,
/// whether anything has changed since `memo.last` was read, and reuses those
/// records when nothing has. The element-by-element mode never reuses.
ScanResult scan_page(const RemotePtr& page, const ScanHooks& hooks, ScanMemo& memo);

/// The script of a batched scan that may be answered from memory: takes the
/// memo's key, the id of its previous watch (or null) and a navigation mark
/// (or null), and returns "" when nothing changed, else the new watch id, a
/// newline and the scan's JSON text. The page keeps it once run.
const std::string& watched_scan_script();
/// Runs the script the page kept; null when it has none.
const std::string& kept_watched_scan_script();

}  // namespace vantle::browser
