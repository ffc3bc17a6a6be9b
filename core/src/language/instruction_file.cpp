#include "vantle/language/instruction_file.h"

#include <optional>

#include "vantle/text/text.h"

namespace vantle::language {

namespace {

// The lines of a text without their line ends; line i is line number i + 1.
std::vector<std::u32string> lines_of(std::u32string all) {
  if (!all.empty() && all[0] == 0xFEFF) all.erase(0, 1);  // byte order mark
  std::vector<std::u32string> lines;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find_first_of(U"\r\n", start);
    if (end == std::u32string::npos) end = all.size();
    lines.emplace_back(all, start, end - start);
    start = end + ((end + 1 < all.size() && all[end] == U'\r' && all[end + 1] == U'\n') ? 2 : 1);
  }
  return lines;
}

std::optional<std::u32string> heading(const std::u32string& line) {
  if (!text::starts_with(line, U"##") || text::starts_with(line, U"###")) return std::nullopt;
  return text::strip(std::u32string_view(line).substr(2));
}

}  // namespace

std::vector<FileLine> InstructionFile::all() const {
  std::vector<FileLine> out = loose;
  for (const auto& section : sections) out.insert(out.end(), section.steps.begin(), section.steps.end());
  return out;
}

InstructionFile read_instruction_file(std::string_view content) {
  InstructionFile file;
  std::vector<std::u32string> lines = lines_of(text::decode(content));
  for (size_t i = 0; i < lines.size(); ++i) {
    int number = static_cast<int>(i) + 1;
    std::u32string line = text::strip(lines[i]);
    if (auto name = heading(line)) {
      file.sections.push_back({*name, number, {}});
    } else if (!line.empty() && line[0] != U'#') {
      (file.sections.empty() ? file.loose : file.sections.back().steps).push_back({number, std::move(line)});
    }
  }
  return file;
}

}  // namespace vantle::language
