// Times the spatial core without Python: reads a page scan and targets as
// JSON, builds the matrix and resolves each target many times.
// Usage: resolve_spatial_core SCAN.json REPEAT

#include <chrono>
#include <fstream>
#include <iostream>

#include "vantle/spatial/json.h"
#include "vantle/spatial/resolver.h"
#include "vantle/text/text.h"

using namespace vantle::spatial;
using Clock = std::chrono::steady_clock;

static double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: resolve_spatial_core SCAN.json REPEAT\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  Json scan = Json::parse(in);
  int repeat = std::stoi(argv[2]);

  std::vector<Element> dom, texts;
  for (const auto& r : scan["dom"]) dom.push_back(element_from_json(r));
  for (const auto& r : scan["text"]) texts.push_back(element_from_json(r));

  auto start = Clock::now();
  std::vector<Entry> matrix;
  for (int i = 0; i < repeat; ++i) matrix = build(dom, texts);
  double build_s = seconds_since(start) / repeat;
  start = Clock::now();
  Resolver resolver(matrix);
  double prepare_s = seconds_since(start);
  std::cout << "build " << build_s * 1e3 << " ms\n";
  std::cout << "prepare " << prepare_s * 1e3 << " ms\n";

  for (const auto& t : scan["targets"]) {
    std::u32string target = vantle::text::decode(t.get<std::string>());
    bool resolved = false;
    start = Clock::now();
    for (int i = 0; i < repeat; ++i) resolved = resolver.resolve(target).resolved;
    double per = seconds_since(start) / repeat;
    std::cout << "resolve " << per * 1e6 << " us " << (resolved ? "found" : "none") << " "
              << t.get<std::string>() << "\n";
  }
}
