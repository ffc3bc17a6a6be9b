#include "vantle/agent/steps.h"

#include "vantle/text/text.h"

namespace vantle::agent {

Json passed_step(std::string_view instruction) {
  Json step = Json::object();
  step["instruction"] = std::string(instruction);
  step["status"] = "passed";
  return step;
}

Json failed_step(std::string_view instruction, std::string_view message, std::string_view png) {
  Json step = Json::object();
  step["instruction"] = std::string(instruction);
  step["status"] = "failed";
  step["message"] = std::string(message);
  if (!png.empty()) step["screenshot"] = base64(png);
  return step;
}

std::string base64(std::string_view bytes) {
  static const char* const kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned n = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                 static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  std::size_t left = bytes.size() - i;
  if (left > 0) {
    unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
    if (left == 2) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += left == 2 ? kAlphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace vantle::agent
