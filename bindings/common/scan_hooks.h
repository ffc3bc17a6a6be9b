#pragma once
// The page scanner's outside world in a Python process: settings from the
// vantle.settings module (read anew at every scan) and console lines through
// Python's print, so the runner's output capture sees them.

#include "vantle/browser/page_scanner.h"

namespace vantle::py {

/// The current engine settings from vantle.settings.
browser::ScanSettings engine_settings();
/// Hooks that read vantle.settings and print through Python.
browser::ScanHooks scan_hooks();

}  // namespace vantle::py
