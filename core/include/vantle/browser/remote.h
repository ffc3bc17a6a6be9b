#pragma once
/// A handle on an object of the browser driver (page, locator, element handle,
/// mouse, keyboard, dialog). The core drives the browser only through this
/// interface; the bindings implement it over Playwright's Python objects, so
/// the core never sees Python.
///
/// A failing call throws a std::exception (the binding's error type); callers
/// that must swallow per-element failures catch std::exception.

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

namespace vantle::browser {

using Json = nlohmann::ordered_json;

/// An error that must end the run instead of being handled as one element's
/// failure: a user's interrupt, the test runner's time limit. It is not a
/// std::exception, so per-element error handling never swallows it.
class Interrupt {
 public:
  virtual ~Interrupt() = default;
};

/// For catch (...) blocks that give up on one element or one attempt: lets an
/// Interrupt in flight go on.
inline void rethrow_interrupt() {
  try {
    throw;
  } catch (const Interrupt&) {
    throw;
  } catch (...) {
  }
}

class Remote;
using RemotePtr = std::shared_ptr<Remote>;

/// An argument to a remote call: plain data, another remote object, or a
/// list of remote objects.
using Arg = std::variant<Json, RemotePtr, std::vector<RemotePtr>>;
using Args = std::vector<Arg>;
using Kwargs = std::vector<std::pair<std::string, Arg>>;

class Remote {
 public:
  virtual ~Remote() = default;
  /// Reads an attribute (`page.mouse`, `locator.first`, `page.url`).
  virtual RemotePtr attr(std::string_view name) = 0;
  /// Calls a method and returns its result as a remote object.
  virtual RemotePtr call(std::string_view method, const Args& args = {}, const Kwargs& kwargs = {}) = 0;
  /// The object as plain data (None becomes null; non-data objects their text).
  virtual Json value() = 0;
  virtual bool is_null() = 0;
  /// The object's truth value (Python's bool(); null is false).
  virtual bool truthy() { return !is_null(); }
  /// The items of a sequence result, in order.
  virtual std::vector<RemotePtr> items() = 0;
  /// Whether both handles hold the very same browser object.
  virtual bool same(const Remote& other) const { return this == &other; }

  /// Shorthand: call a method and convert its result to plain data.
  Json call_value(std::string_view method, const Args& args = {}, const Kwargs& kwargs = {}) {
    return call(method, args, kwargs)->value();
  }
};

}  // namespace vantle::browser
