"""Engine settings, read by the page scanner at every scan.

Each setting is resolved at the moment it is read:

1. a value assigned in Python (``vantle.settings.SAVE_SNAPSHOTS = True``) wins;
   ``del vantle.settings.SAVE_SNAPSHOTS`` goes back to the rules below;
2. otherwise the environment variable (``VANTLE_SAVE_SNAPSHOTS``,
   ``VANTLE_LOG_PATH``);
3. otherwise the default.

``SAVE_SNAPSHOTS`` -- write a JSON snapshot of every scan (default False;
the variable accepts 1/true/yes/on and 0/false/no/off, any case).
``LOG_PATH`` -- directory of the snapshot files (default ``data/logs/``).
``SCAN_MODE`` -- how the agent scans a page: ``"batched"`` (default; one
in-page call per scan) or ``"per-element"`` (one browser call per element
and property); both give the same records.
"""

import os

_DEFAULTS = {"SAVE_SNAPSHOTS": False, "LOG_PATH": "data/logs/", "SCAN_MODE": "batched"}
_ENV = {"SAVE_SNAPSHOTS": "VANTLE_SAVE_SNAPSHOTS", "LOG_PATH": "VANTLE_LOG_PATH", "SCAN_MODE": "VANTLE_SCAN_MODE"}
_SCAN_MODES = ("batched", "per-element")
_TRUE = {"1", "true", "yes", "on"}
_FALSE = {"0", "false", "no", "off", ""}


def _flag(name, text):
    word = text.strip().lower()
    if word in _TRUE:
        return True
    if word in _FALSE:
        return False
    raise ValueError(f"{_ENV[name]}={text!r} is not a truth value (use 1/0, true/false, yes/no or on/off)")


def __getattr__(name):
    # Only reached for settings that were not assigned in Python.
    if name not in _DEFAULTS:
        raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
    text = os.environ.get(_ENV[name])
    if text is None:
        return _DEFAULTS[name]
    if isinstance(_DEFAULTS[name], bool):
        return _flag(name, text)
    if name == "SCAN_MODE" and text.strip().lower() not in _SCAN_MODES:
        raise ValueError(f"{_ENV[name]}={text!r} is not a scan mode (use batched or per-element)")
    return text.strip().lower() if name == "SCAN_MODE" else text


def __dir__():
    return sorted(set(globals()) | set(_DEFAULTS))
