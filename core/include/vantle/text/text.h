#pragma once
/// Unicode text helpers shared by every subsystem.
///
/// Instructions and page text are handled as sequences of code points
/// (std::u32string) so that a position found in a lower-cased copy cuts the
/// original text at the same character. Tables come from utf8proc.

#include <string>
#include <string_view>
#include <vector>

namespace vantle::text {

/// Decodes UTF-8 leniently: surrogate code points (as Python's "surrogatepass"
/// writes them) are kept, any other invalid byte becomes U+FFFD.
std::u32string decode(std::string_view utf8);
/// Encodes code points as UTF-8, surrogates included.
std::string encode(std::u32string_view text);

/// Simple (one code point to one code point) lower-casing.
char32_t lower(char32_t c);
std::u32string lower(std::u32string_view text);
std::string lower(std::string_view utf8);

/// White space as Python's str.isspace() sees it.
bool is_space(char32_t c);
/// A decimal digit of any script (general category Nd).
bool is_digit(char32_t c);
/// A control character (general category Cc).
bool is_control(char32_t c);

std::u32string strip(std::u32string_view text);
std::u32string lstrip(std::u32string_view text);
std::u32string rstrip(std::u32string_view text);
std::string strip(std::string_view utf8);
/// Trims the given characters (not white space) from both ends.
std::u32string strip_chars(std::u32string_view text, std::u32string_view chars);
/// Splits on runs of white space, dropping empty pieces (str.split()).
std::vector<std::u32string> split_ws(std::u32string_view text);
/// Joins words with one space.
std::u32string join(const std::vector<std::u32string>& words, std::u32string_view sep);

bool starts_with(std::u32string_view text, std::u32string_view prefix);
bool ends_with(std::u32string_view text, std::u32string_view suffix);
bool contains(std::u32string_view text, std::u32string_view needle);
/// The text without a trailing colon (and the blanks around it).
std::u32string_view without_colon(std::u32string_view text);
/// Whether a page text carries `name`, a trailing colon or required mark on
/// either side aside: a label reading "Country:" is named "Country", one reading
/// "First Name*" is named "First Name". A name that is only a colon must match exactly.
bool same_label(std::u32string_view text, std::u32string_view name);
/// Replaces every occurrence of `from` with `to`.
std::u32string replace_all(std::u32string_view text, std::u32string_view from, std::u32string_view to);

/// Renders user text as a quoted literal for messages: single quotes (double
/// quotes when the text holds a single quote and no double quote), with the
/// backslash, the enclosing quote and control characters escaped.
std::u32string quoted(std::u32string_view text);
std::string quoted(std::string_view utf8);
/// Renders a list of texts as ['a', 'b'].
std::u32string quoted_list(const std::vector<std::u32string>& items);

/// Lower-cases a character and reads a typographic form as the plain one a
/// person types: curly single quotes as "'", curly double quotes as '"',
/// dashes and minus signs as "-", no-break and other spaces as " ". One code
/// point maps to one, so positions found in the folded text hold in the
/// original.
char32_t fold(char32_t c);
std::u32string fold(std::u32string_view text);
std::string fold(std::string_view utf8);

/// A sort or disclosure mark such as "▲", "▼", "↑" or "▸".
bool is_mark(char32_t c);
/// The text without a trailing mark set off by white space, and without the
/// white space before it: "Date\u00a0▲" reads "Date". Other texts come back unchanged.
std::u32string without_trailing_mark(std::u32string_view text);

/// Shorthand for literals in source: U"..." is already UTF-32.
inline std::u32string u32(std::string_view utf8) { return decode(utf8); }

}  // namespace vantle::text
