// Reads a JSON array of element records on stdin and prints, for each, the
// record read by the JSON codec and written back, or the error it raised:
// [{"record": ...} | {"error": "..."}, ...].

#include <iostream>

#include "vantle/records/json.h"

using vantle::records::Json;
namespace records = vantle::records;

int main() {
  Json in = Json::parse(std::cin);
  Json out = Json::array();
  for (const Json& record : in) {
    try {
      out.push_back({{"record", records::to_json(records::element_from_json(record))}});
    } catch (const records::type_error& error) {
      out.push_back({{"error", error.what()}});
    }
  }
  std::cout << out.dump() << "\n";
}
