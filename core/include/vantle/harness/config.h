#pragma once
/// Locating the project configuration file and the default report path.

#include <filesystem>
#include <optional>
#include <string>

namespace vantle::harness {

/// File name of the project configuration script.
inline constexpr const char* CONFIG_FILE_NAME = "vantle.web.config.py";
/// Result directory used when the configuration names none.
inline constexpr const char* DEFAULT_RESULT_DIR = "test_report";
/// File name of the HTML report inside the result directory.
inline constexpr const char* REPORT_FILE_NAME = "report.html";

/// The nearest configuration file at or above `start` (any entry of that
/// name counts, so a directory is found too and fails when read).
std::optional<std::filesystem::path> find_config_file(const std::filesystem::path& start);

/// The directory holding the configuration: where the file was found, or
/// `start` when there is none.
std::filesystem::path config_dir(const std::filesystem::path& start);

/// config_dir / result_dir / "report.html", with path-join semantics (an
/// absolute result_dir replaces config_dir).
std::string default_report_path(const std::string& config_dir, const std::string& result_dir);

}  // namespace vantle::harness
