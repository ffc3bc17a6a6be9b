#pragma once
/// Steps that start a navigation, and steps that meet one in flight.
///
/// Before an action the agent marks the document; afterwards it asks whether
/// that document began to unload, and if so waits for the next one to commit,
/// so the next step never acts on a page that is about to vanish.

#include <string_view>

#include "vantle/browser/remote.h"

namespace vantle::agent::navigation {

using browser::RemotePtr;

/// True for the driver's errors that mean the page navigated under the call
/// ("Execution context was destroyed" and its relatives): worth a retry once
/// the new page has loaded.
bool interrupted_by_navigation(std::string_view message);

/// Marks the current document with `token` and starts listening for its unload.
void mark(const RemotePtr& page, long token);

/// Whether the document marked with `token` has begun to unload or is gone;
/// if neither, it is marked with `next` as `mark` would.
bool started(const RemotePtr& page, long token, long next);

/// Waits until the document marked with `token` has been replaced and the new
/// one has parsed, for at most `timeout_ms`; a navigation that never commits
/// (a download, a 204 answer) just ends the wait.
void wait_for_commit(const RemotePtr& page, long token, double timeout_ms);

/// Waits for the page's load event, for at most `timeout_ms`; errors end the wait.
void wait_for_load(const RemotePtr& page, double timeout_ms);

}  // namespace vantle::agent::navigation
