// Reads {"dom": [...], "text": [...], "targets": [...]} on stdin, builds the
// matrix through the JSON adapters and prints {"matrix": [...], "resolved":
// [...]}, each resolution as the matrix index of its element or null.

#include <iostream>

#include "vantle/spatial/json.h"
#include "vantle/spatial/resolver.h"
#include "vantle/text/text.h"

using namespace vantle::spatial;

int main() {
  Json scan = Json::parse(std::cin);
  std::vector<Element> dom, texts;
  for (const auto& r : scan["dom"]) dom.push_back(element_from_json(r));
  for (const auto& r : scan["text"]) texts.push_back(text_element_from_json(r));
  std::vector<Entry> matrix = build(dom, texts);

  Json out = {{"matrix", Json::array()}, {"resolved", Json::array()}};
  for (const Entry& e : matrix)
    out["matrix"].push_back(entry_to_json(e, (e.is_anchor_only ? scan["text"] : scan["dom"])[e.source]));
  Resolver resolver(matrix);
  for (const auto& t : scan["targets"]) {
    Resolution r = resolver.resolve(vantle::text::decode(t.get<std::string>()));
    out["resolved"].push_back(r.resolved ? Json(*r.best->index) : Json(nullptr));
  }
  std::cout << out.dump() << "\n";
}
