#!/usr/bin/env bash
# Sets everything up, runs the plain-English example suite against the bundled
# demo shop (served on loopback by the examples' own fixtures) and says where
# the HTML report is. VANTLE_DEMO_FAIL=1 adds one test that fails on purpose.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
.venv/bin/vantle validate examples/steps/*.steps
cd examples
status=0
timeout --kill-after=30 1200 ../.venv/bin/python -m pytest --timeout=300 "$@" || status=$?
echo "vantle demo: HTML report written to $(pwd)/test_report/report.html"
exit "$status"
