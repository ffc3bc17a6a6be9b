#pragma once
/// Reading an instruction file: one instruction per line. A byte order mark
/// is dropped, \r\n, \r and \n each end a line, blank lines and lines whose
/// first non-blank character is "#" are skipped, and a line "## <name>"
/// starts a section ("###..." stays a comment). Every instruction keeps its
/// line number in the file. `vantle validate`, WebAgent.run_file and the
/// .steps collector all read files through here.

#include <string>
#include <string_view>
#include <vector>

namespace vantle::language {

/// One instruction, trimmed, and its 1-based line number in the file.
struct FileLine {
  int line = 0;
  std::u32string text;
};

/// The instructions under one "## <name>" line.
struct Section {
  std::u32string name;  ///< trimmed; may be empty
  int line = 0;         ///< where its "##" line is
  std::vector<FileLine> steps;
};

struct InstructionFile {
  /// Instructions before the first section (all of them in a file without sections).
  std::vector<FileLine> loose;
  std::vector<Section> sections;

  /// Every instruction in file order, sections or not.
  std::vector<FileLine> all() const;
};

/// Reads a file's bytes (UTF-8; invalid bytes read as U+FFFD).
InstructionFile read_instruction_file(std::string_view content);

}  // namespace vantle::language
