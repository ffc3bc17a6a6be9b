#include "vantle/harness/config.h"

namespace vantle::harness {

namespace fs = std::filesystem;

std::optional<fs::path> find_config_file(const fs::path& start) {
  fs::path dir = start;
  for (;;) {
    fs::path candidate = dir / CONFIG_FILE_NAME;
    std::error_code ec;
    // symlink_status: a dangling link is still an entry of that name.
    if (fs::exists(fs::symlink_status(candidate, ec))) return candidate;
    fs::path parent = dir.parent_path();
    if (parent == dir || parent.empty()) return std::nullopt;
    dir = parent;
  }
}

fs::path config_dir(const fs::path& start) {
  auto found = find_config_file(start);
  return found ? found->parent_path() : start;
}

std::string default_report_path(const std::string& dir, const std::string& result_dir) {
  return (fs::path(dir) / result_dir / REPORT_FILE_NAME).string();
}

}  // namespace vantle::harness
