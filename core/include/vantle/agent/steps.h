#pragma once
/// Step records: one per executed instruction, read by the HTML report.

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace vantle::agent {

using Json = nlohmann::ordered_json;

/// {instruction, status: "passed"}.
Json passed_step(std::string_view instruction);

/// {instruction, status: "failed", message[, screenshot]}; the screenshot
/// (PNG bytes) is stored as base64 text, and only when there is one.
Json failed_step(std::string_view instruction, std::string_view message, std::string_view png = {});

/// Standard base64 (with padding) of raw bytes.
std::string base64(std::string_view bytes);

}  // namespace vantle::agent
