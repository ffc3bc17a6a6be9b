// Python face of the instruction parser: records become plain dicts, the
// keyword tables become class attributes and module constants.

#include <nanobind/nanobind.h>
#include <nanobind/stl/string.h>

#include "common/convert.h"
#include "common/records.h"
#include "vantle/agent/step_parser.h"
#include "vantle/language/vocabulary.h"
#include "vantle/text/text.h"

#include <algorithm>

namespace nb = nanobind;
namespace agent = vantle::agent;
namespace lang = vantle::language;
using vantle::py::to_str;
using vantle::py::u32;

namespace {

struct StepParser {};

PyObject* invalid_instruction_type = nullptr;

nb::object optional_str(const std::optional<std::u32string>& s) {
  return s ? nb::object(to_str(*s)) : nb::none();
}

nb::dict to_dict(const agent::ParsedStep& step) {
  nb::dict d;
  d["action"] = to_str(step.action);
  d["target"] = optional_str(step.target);
  d["value"] = optional_str(step.value);
  if (step.ordinal) d["ordinal"] = *step.ordinal;
  d["_literal_target"] = step.literal_target;
  if (step.row_number) d["row"] = *step.row_number;
  else if (step.row) d["row"] = to_str(*step.row);
  if (step.column) d["column"] = to_str(*step.column);
  return d;
}

nb::list to_list(const std::vector<std::u32string>& items) {
  nb::list out;
  for (const auto& item : items) out.append(to_str(item));
  return out;
}

using vantle::py::text_arg;

std::vector<std::u32string> texts(nb::iterable items) {
  std::vector<std::u32string> out;
  for (nb::handle item : items) out.push_back(text_arg(item, "every instruction"));
  return out;
}

nb::list supported_actions() {
  nb::list out;
  for (const auto& a : lang::actions())
    if (a.listed) out.append(to_str(a.name));
  return out;
}

nb::dict states(bool of_text) {
  nb::dict out;
  for (const auto& row : lang::states()) {
    std::string_view action = of_text ? row.text_action : row.element_action;
    if (!action.empty()) out[to_str(row.ending)] = to_str(action);
  }
  return out;
}

nb::frozenset stop_words() {
  nb::list out;
  for (const auto& row : lang::fillers()) out.append(to_str(row.word));
  return nb::frozenset(out);
}

nb::frozenset known_actions() {
  nb::list out;
  for (const auto& word : lang::known_first_words()) out.append(to_str(word));
  return nb::frozenset(out);
}

nb::dict leading_ordinals() {
  nb::dict out;
  for (const auto& row : lang::ordinals())
    if (row.leading) out[to_str(row.word)] = row.number;
  return out;
}

nb::tuple spatial_keywords() {
  std::vector<lang::Relation> rows = lang::relations();
  std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.keyword_place < b.keyword_place; });
  nb::list out;
  for (const auto& r : rows) out.append(to_str(std::u32string(r.phrase) + U" "));
  return nb::tuple(out);
}

void translate(const std::exception_ptr& p, void* type) {
  try {
    std::rethrow_exception(p);
  } catch (const agent::InvalidInstruction& e) {
    PyErr_SetObject(static_cast<PyObject*>(type), to_str(e.message()).ptr());
  }
}

void add_error_type(nb::module_& m) {
  invalid_instruction_type = PyErr_NewExceptionWithDoc(
      "vantle.engine.agent.step_parser.InvalidInstructionError",
      "The instruction matches no supported form.", PyExc_ValueError, nullptr);
  if (!invalid_instruction_type) throw nb::python_error();
  m.attr("InvalidInstructionError") = nb::borrow(invalid_instruction_type);
  nb::register_exception_translator(translate, invalid_instruction_type);
}

void add_module_functions(nb::module_& m) {
  m.attr("_ORDINALS") = leading_ordinals();
  m.attr("_QUOTE_RE") = nb::module_::import_("re").attr("compile")(agent::quote_pattern);
  m.attr("_SPATIAL_KW") = spatial_keywords();
  m.def(
      "_extract_ordinal",
      [](nb::str text) {
        auto [ordinal, rest] = agent::extract_ordinal(u32(text));
        return nb::make_tuple(ordinal, to_str(rest));
      },
      nb::arg("text"), "Strip a leading ordinal word and return (ordinal, remaining_text).");
  m.def(
      "_is_literal",
      [](nb::str target, nb::iterable literals) { return agent::is_literal(u32(target), texts(literals)); },
      nb::arg("target"), nb::arg("literals"),
      "True if the target string came entirely from a quoted literal (one of `literals`).");
}

void add_class(nb::module_& m) {
  auto cls = nb::class_<StepParser>(
      m, "StepParser", "Parses plain-English test steps into records and checks them for syntax issues.");
  cls.def(nb::init<>());
  cls.attr("SUPPORTED_ACTIONS") = supported_actions();
  cls.attr("_VERIFY_STATES") = states(false);
  cls.attr("_VERIFY_TEXT_STATES") = states(true);
  cls.attr("_STOP_WORDS") = stop_words();
  cls.attr("_KNOWN_ACTIONS") = known_actions();
  cls.def(
      "parse", [](const StepParser&, nb::str instruction) { return to_dict(agent::parse(u32(instruction))); },
      nb::arg("instruction"),
      "Parse one instruction into a dict with keys action, target, value, ordinal (click and "
      "extract_text only) and _literal_target. Raises InvalidInstructionError when no form applies.");
  cls.def_static(
      "_unquote",
      [](nb::str instruction) {
        auto out = agent::unquote(u32(instruction));
        return nb::make_tuple(to_str(out.text), to_list(out.literals));
      },
      nb::arg("instruction"), "Remove quotes from instruction, returning (unquoted_text, [literals]).");
  cls.def_static(
      "_clean_target", [](nb::str target) { return to_str(agent::clean_target(u32(target))); },
      nb::arg("target"), "Strip leading stop words from a target string.");
  cls.def(
      "validate", [](const StepParser&, nb::str instruction) { return to_list(agent::validate(u32(instruction))); },
      nb::arg("instruction"), "Return a list of syntax issues with the instruction, or [] if clean.");
  cls.def(
      "validate_all",
      [](const StepParser&, nb::iterable instructions) {
        nb::dict out;
        for (const auto& [line, issues] : agent::validate_all(texts(instructions))) out[nb::int_(line)] = to_list(issues);
        return out;
      },
      nb::arg("instructions"),
      "Validate all instructions and return a dict of {line_number: [issues]}. Line numbers are "
      "1-based. Returns empty dict if all instructions are valid.");
}

}  // namespace

NB_MODULE(step_parser, m) {
  m.doc() = "Parses natural-language test instructions into structured action dictionaries.";
  add_error_type(m);
  add_module_functions(m);
  add_class(m);
}
