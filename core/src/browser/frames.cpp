// Frame paths of records: reading and writing the `_frame` attribute.

#include "vantle/browser/frames.h"
#include "vantle/records/json.h"

namespace vantle::browser {

using records::text_at;

std::vector<std::string> frame_chain(const Json& element) {
  const std::string value = text_at(records::member(element, "attributes"), FRAME_ATTRIBUTE);
  std::vector<std::string> chain;
  if (value.empty()) return chain;
  const std::string_view sep = FRAME_SEPARATOR;
  std::size_t start = 0;
  for (std::size_t at; (at = value.find(sep, start)) != std::string::npos; start = at + sep.size())
    chain.push_back(value.substr(start, at - start));
  chain.push_back(value.substr(start));
  return chain;
}

std::string frame_value(const std::vector<std::string>& chain) {
  std::string out;
  for (const auto& path : chain) out += (out.empty() ? "" : FRAME_SEPARATOR) + path;
  return out;
}

std::string own_path(const Json& element) {
  const std::string xpath = text_at(element, "xpath");
  std::string prefix;
  for (const auto& path : frame_chain(element)) prefix += path;
  // A record put together by hand may hold only the inner path.
  if (prefix.empty() || xpath.compare(0, prefix.size(), prefix) != 0) return xpath;
  return xpath.substr(prefix.size());
}

}  // namespace vantle::browser
