// DOM snapshot files: what a scan handed to the resolution stages, for
// diagnosing a wrong or missing match afterwards.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "vantle/browser/page_scanner.h"
#include "vantle/text/text.h"

namespace vantle::browser {

namespace {

constexpr std::size_t SLUG_LENGTH = 60;

std::string join_path(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

// Creates the file only when it does not exist yet, so a snapshot taken in
// the same second as an earlier one (same name) never overwrites it.
bool write_new_file(const std::string& path, const std::string& content) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (errno == EEXIST) return false;
    throw std::system_error(errno, std::generic_category(), "cannot write snapshot " + path);
  }
  std::size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      throw std::system_error(err, std::generic_category(), "cannot write snapshot " + path);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) throw std::system_error(errno, std::generic_category(), "cannot write snapshot " + path);
  return true;
}

}  // namespace

std::string url_slug(std::string_view url) {
  std::u32string slug = text::replace_all(text::decode(url), U"://", U"_");
  slug = text::replace_all(slug, U"/", U"_");
  if (slug.size() > SLUG_LENGTH) slug.resize(SLUG_LENGTH);
  return text::encode(slug);
}

std::string snapshot_json(std::string_view url, const Json& elements, const Json& text_elements) {
  Json doc = Json::object();
  doc["url"] = std::string(url);
  doc["elements"] = elements;
  doc["text_elements"] = text_elements;
  // Page text may hold lone surrogates, which JSON text cannot carry as such.
  return doc.dump(2, ' ', true, Json::error_handler_t::replace);
}

std::string local_timestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d_%H%M%S", &local);
  return buf;
}

std::string write_snapshot(const std::string& dir, std::string_view timestamp, std::string_view url,
                           const Json& elements, const Json& text_elements) {
  std::filesystem::create_directories(dir.empty() ? std::string(".") : dir);
  std::string stem = std::string(timestamp) + "_" + url_slug(url);
  std::string content = snapshot_json(url, elements, text_elements);
  for (int n = 1;; ++n) {
    std::string name = stem + (n == 1 ? "" : "_" + std::to_string(n)) + ".json";
    std::string path = join_path(dir, name);
    if (write_new_file(path, content)) return path;
  }
}

}  // namespace vantle::browser
