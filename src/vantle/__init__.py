"""vantle: plain-English web tests."""

from vantle import settings
from vantle._agent import BrowserManager, BrowserNotFound, StepFailed, WebAgent
from vantle._cli import __version__

__all__ = ["BrowserManager", "BrowserNotFound", "StepFailed", "WebAgent", "settings", "__version__"]
