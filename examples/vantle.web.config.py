# Project configuration of the example suite.
import os

# The demo shop is served on a loopback port chosen at start-up (conftest.py).
URL = os.environ.get("VANTLE_DEMO_URL", "http://127.0.0.1:8000/") + "index.html"
SCREENSHOTS_ON_FAILURE = True
RESULT_DIR = "test_report"
