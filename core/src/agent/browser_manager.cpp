#include "vantle/agent/browser_manager.h"

#include <algorithm>
#include <filesystem>

#include "vantle/text/text.h"

namespace vantle::agent {

using browser::Json;

const std::vector<std::string> kChromiumArgs = {
    "--no-sandbox",    "--disable-gpu",      "--disable-quic",
    "--no-first-run",  "--disable-background-networking",
    "--disable-component-update", "--disable-sync",
};

namespace {

const char* const kInstallHint = "Install Chromium with: apt-get install chromium";

std::string missing(const std::string& path, const char* given_by) {
  return "Chromium not found at " + text::quoted(std::string_view(path)) + " (given by " + given_by + "). " +
         kInstallHint + ", or give the path of an installed Chromium executable.";
}

bool is_file(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

std::string locate_browser(const BrowserSearch& search, const std::function<bool(const std::string&)>& exists) {
  if (!search.explicit_path.empty()) {
    if (exists(search.explicit_path)) return search.explicit_path;
    throw BrowserNotFound(missing(search.explicit_path, "browser_path"));
  }
  if (!search.env_path.empty()) {
    if (exists(search.env_path)) return search.env_path;
    throw BrowserNotFound(missing(search.env_path, "VANTLE_BROWSER"));
  }
  if (!search.debian_path.empty() && exists(search.debian_path)) return search.debian_path;
  if (!search.bundled_path.empty() && exists(search.bundled_path)) return search.bundled_path;
  throw BrowserNotFound(std::string("No Chromium browser found (looked for ") + search.debian_path +
                        " and for Playwright's own browser). " + kInstallHint +
                        " (or set VANTLE_BROWSER to a Chromium executable).");
}

BrowserManager::BrowserManager(std::shared_ptr<Host> host, BrowserOptions options)
    : host_(std::move(host)), options_(std::move(options)) {}

void BrowserManager::start_browser() {
  if (browser_ || closed_) return;
  try {
    driver_ = host_->start_driver();
    driver_started_ = true;
    std::string endpoint = options_.ws_endpoint;
    if (endpoint.empty()) endpoint = host_->env("VANTLE_BROWSER_WS_ENDPOINT");
    if (endpoint.empty()) {
      launch();
    } else {
      connect(endpoint);
    }
  } catch (...) {
    close();
    throw;
  }
}

void BrowserManager::start() {
  if (started() || closed_) return;
  try {
    if (options_.context) {
      driver_ = host_->start_driver();
      driver_started_ = true;
      page_ = options_.context->call("new_page");
    } else {
      start_browser();
      page_ = browser_->call("new_page");
    }
    adopt(page_);
  } catch (...) {
    close();
    throw;
  }
}

void BrowserManager::launch() {
  RemotePtr chromium = driver_->attr("chromium");
  BrowserSearch search;
  search.explicit_path = options_.browser_path;
  search.env_path = host_->env("VANTLE_BROWSER");
  if (search.explicit_path.empty() && search.env_path.empty() && !is_file(search.debian_path)) {
    Json bundled = chromium->attr("executable_path")->value();
    if (bundled.is_string()) search.bundled_path = bundled.get<std::string>();
  }
  std::string path = locate_browser(search, is_file);
  browser_ = chromium->call("launch", {},
                            {{"executable_path", Json(path)},
                             {"args", Json(kChromiumArgs)},
                             {"headless", Json(options_.headless)},
                             {"slow_mo", Json(options_.slow_mo_ms)},
                             {"timeout", Json(startup_limit_ms(options_.timeout_ms))}});
}

void BrowserManager::connect(const std::string& endpoint) {
  RemotePtr chromium = driver_->attr("chromium");
  try {
    browser_ = chromium->call("connect", {Json(endpoint)},
                              {{"timeout", Json(startup_limit_ms(options_.timeout_ms))},
                               {"slow_mo", Json(options_.slow_mo_ms)}});
  } catch (const std::exception& error) {
    // With several servers in play, the user needs to know which one failed.
    throw std::runtime_error("Cannot reach the browser server " + endpoint + ": " + error.what());
  }
}

void BrowserManager::on_dialog(RemotePtr dialog) {
  dialog_ = std::move(dialog);
  ++dialog_count_;
}

RemotePtr BrowserManager::get_dialog() {
  handed_count_ = dialog_count_;
  return dialog_;
}

void BrowserManager::clear_dialog() {
  if (handed_count_ == dialog_count_) dialog_.reset();
}

std::string BrowserManager::dialog_message() const {
  if (!dialog_) return {};
  try {
    Json message = dialog_->attr("message")->value();
    return message.is_string() ? message.get<std::string>() : std::string();
  } catch (const std::exception&) {
    return {};
  }
}

void BrowserManager::close() {
  if (closed_) return;
  closed_ = true;
  // A dialog left open would keep the page's pending work waiting forever.
  if (dialog_) {
    try {
      dialog_->call("dismiss");
    } catch (const std::exception&) {
    }
    dialog_.reset();
  }
  // A context's browser belongs to someone else.
  RemotePtr owned = options_.context ? options_.context : browser_;
  if (owned) {
    try {
      owned->call("close");
    } catch (const std::exception&) {
    }
  }
  if (driver_started_) {
    try {
      host_->stop_driver();
    } catch (const std::exception&) {
    }
  }
}

}  // namespace vantle::agent
