#include "vantle/agent/table_steps.h"
#include "vantle/records/json.h"

#include "vantle/strategies/direct_strategy.h"
#include "vantle/text/text.h"

namespace vantle::agent {

namespace {

bool centre_inside(const Json& record, const Json& box) {
  auto it = record.find("bounding_box");
  if (it == record.end() || !it->is_object()) return false;
  const double cx = records::number_at(*it, "x") + records::number_at(*it, "width") / 2, cy = records::number_at(*it, "y") + records::number_at(*it, "height") / 2;
  return cx >= records::number_at(box, "x") && cx <= records::number_at(box, "x") + records::number_at(box, "width") && cy >= records::number_at(box, "y") &&
         cy <= records::number_at(box, "y") + records::number_at(box, "height");
}

Json only_inside(const Json& records, const Json& box) {
  Json out = Json::array();
  for (const auto& record : records)
    if (centre_inside(record, box)) out.push_back(record);
  return out;
}

Json cell_reading(const Json& found, const Json& record) {
  const std::string actual = records::text_at(found, "text");
  Json out = Json::object();
  out["resolved"] = true;
  out["element"] = nullptr;
  out["extracted"] = actual;
  if (records::text_at(record, "action") == "verify_cell") {
    const std::string expected = records::text_at(record, "value");
    out["verified"] = strategies::direct::shows_value(text::decode(actual), text::decode(expected));
    out["state"] = Json{{"expected", expected}, {"actual", actual}};
  }
  return out;
}

}  // namespace

PageScan inside_box(const PageScan& scan, const Json& box) {
  return PageScan{only_inside(scan.elements, box), only_inside(scan.text_elements, box)};
}

std::string row_words(const Json& record) {
  const Json& row = record.value("row", Json());
  std::string out = row.is_number() ? "row " + std::to_string(row.get<long long>()) : "row " + text::quoted(records::text_at(record, "row"));
  if (record.contains("column") && record["column"].is_string()) out += " under " + text::quoted(records::text_at(record, "column"));
  return out;
}

Json resolve_in_row(const Json& found, const Json& record, const PageScan& scan,
                    const std::function<Json(const Json&, const PageScan&)>& resolve) {
  if (!found.is_object()) {
    return Json{{"resolved", false}, {"element", nullptr}, {"candidates", Json::array()},
                {"reason", "no table on the page has " + row_words(record) + "."}};
  }
  const std::string action = records::text_at(record, "action");
  if (action == "verify_cell" || action == "extract_cell") return cell_reading(found, record);
  const Json& cell = found.value("cell", Json());
  return resolve(record, inside_box(scan, cell.is_object() ? cell : found["row"]));
}

}  // namespace vantle::agent
