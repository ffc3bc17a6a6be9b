#pragma once
/// Steps addressed to a table row or cell ("click "Edit" in row "Order 1042"",
/// "verify text in row 3 under "Status" is Shipped"): the row is found by the
/// table's structure in the page, and the step's target among what lies in it.

#include <functional>

#include "vantle/agent/engine.h"

namespace vantle::agent {

/// Resolves a step record that carries `row` (and maybe `column`), given the
/// page's answer for that row (Actions::find_cell: null when there is none).
/// A step without a target ("verify_cell", "extract_cell") reads the cell's
/// text; one with a target resolves it through `resolve` among the scanned
/// elements and texts whose centre lies inside the cell, else the row.
/// Where the row is missing the result holds `reason`.
Json resolve_in_row(const Json& found, const Json& record, const PageScan& scan,
                    const std::function<Json(const Json&, const PageScan&)>& resolve);

/// The scan narrowed to the records whose box centre lies inside `box`.
PageScan inside_box(const PageScan& scan, const Json& box);

/// How a step names its row and column in messages: "row 'Order 1042' under 'Status'".
std::string row_words(const Json& record);

}  // namespace vantle::agent
