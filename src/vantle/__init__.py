"""vantle: plain-English web tests."""

from vantle._agent import BrowserManager, BrowserNotFound, StepFailed, WebAgent

__all__ = ["BrowserManager", "BrowserNotFound", "StepFailed", "WebAgent"]
