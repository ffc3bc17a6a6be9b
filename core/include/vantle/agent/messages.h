#pragma once
/// The texts of failed steps. Each names the instruction, what was looked for
/// and what the page showed instead.

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace vantle::agent {

using Json = nlohmann::ordered_json;

/// Up to `limit` texts of scanned elements (their text, else their label,
/// aria-label, placeholder, title, alt or value) like `target`, without
/// repeats: most words shared first, then the smallest edit distance. Names
/// with nothing in common with the target, and short fragments, are left out.
std::vector<std::string> near_candidates(std::string_view target, const Json& elements,
                                         const Json& text_elements, std::size_t limit = 3);

/// "Step '<instruction>' failed: <reason>"
std::string step_failed(std::string_view instruction, std::string_view reason);

/// Nothing matched `target`; `near` lists what came closest.
/// `where` says where it was looked for ("on the page", "in row 2").
std::string miss_message(std::string_view instruction, std::string_view target,
                         const std::vector<std::string>& near, std::string_view where = "on the page");

/// A spatial target whose anchor is on the page with nothing fitting the
/// target where it points: names the element taken for the anchor, and the
/// quoted words sought from it, if any.
std::string placed_miss_message(std::string_view instruction, std::string_view target, const Json& anchor,
                                std::string_view wanted = {});
/// The target names something that cannot take what the step does; `tag`
/// reads as the element's opening tag ("input type=\"checkbox\"").
std::string unfit_message(std::string_view instruction, std::string_view found, std::string_view tag,
                          std::string_view takes);
/// A position step whose anchor names nothing on the page.
std::string anchor_message(std::string_view instruction, std::string_view anchor,
                           const std::vector<std::string>& near);

/// A negative check found what should not be there ("present", "visible").
std::string negative_message(std::string_view instruction, std::string_view found_text, std::string_view state);

/// An element was found but is not in the asserted state ("visible", "enabled", "disabled").
std::string state_message(std::string_view instruction, std::string_view found_text, std::string_view wanted);

/// A text check: expected against what the page showed.
std::string text_message(std::string_view instruction, std::string_view expected, std::string_view actual);

/// The dialog said something else than expected.
std::string dialog_text_message(std::string_view instruction, std::string_view expected,
                                std::string_view actual);

/// A step other than a dialog step while a native dialog is open.
std::string dialog_pending_message(std::string_view instruction, std::string_view dialog_text);

/// A dialog step with no dialog open after waiting `waited_ms`.
std::string no_dialog_message(std::string_view instruction, double waited_ms);

/// The browser did not finish the step's work in time.
std::string timeout_message(std::string_view instruction, double waited_ms);

/// "wait" with something that is not a number of milliseconds.
std::string bad_wait_message(std::string_view instruction, std::string_view given);

/// Reads the milliseconds of a "wait" step; nothing when it is not a plain
/// non-negative number.
bool parse_milliseconds(std::string_view text, double& ms);

}  // namespace vantle::agent
