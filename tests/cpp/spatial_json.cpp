// Reads {"dom": [...], "text": [...], "targets": [...]} on stdin, builds the
// matrix from records read by the JSON codec and prints {"matrix": [...],
// "resolved": [...]}, each resolution as the matrix index of its element or null.

#include <iostream>

#include "vantle/records/json.h"
#include "vantle/spatial/json.h"
#include "vantle/spatial/resolver.h"
#include "vantle/text/text.h"

using namespace vantle::spatial;
namespace records = vantle::records;

int main() {
  Json scan = Json::parse(std::cin);
  std::vector<Element> dom, texts;
  for (const auto& r : records::elements_from_json(scan["dom"], {DESCRIPTOR_KEYS | records::KEY_XPATH, reads_attribute}))
    dom.push_back(layout_element(r));
  for (const auto& r : records::elements_from_json(scan["text"], {TEXT_KEYS | records::KEY_XPATH, text_reads_attribute}))
    texts.push_back(layout_text(r));
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
