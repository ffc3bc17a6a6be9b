"""Wrong uses that the stubs must reject: the type checker reports one error per marked line."""

from vantle import WebAgent

agent = WebAgent(timeout_ms="soon")  # error: timeout_ms is a number
agent.run_everything()  # error: no such method
WebAgent(headless=True).close(42)  # error: close takes nothing
