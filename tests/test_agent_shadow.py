"""The agent reaches controls inside open shadow roots, nested ones included,
on real Chromium."""

import pytest

from vantle import WebAgent

pytestmark = pytest.mark.browser


def test_a_labelled_input_and_a_button_in_a_shadow_root(server):
    with WebAgent(f"{server}/scanner/shadow.html", timeout_ms=2000) as agent:
        agent.run('type ada into "Shadow user"')
        agent.run('click "Shadow sign in"')
        assert agent.run('verify text "Signed in as ada" is present') is True
        assert agent.run('verify "Nested action" is visible') is True
        assert agent.run('click "Slotted second in the document"') == "Slotted second in the document"
