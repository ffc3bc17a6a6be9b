#!/usr/bin/env bash
# Sets everything up, then runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# A hung browser must not hang CI: each test has its own limit, the run a global one.
exec timeout --kill-after=30 1800 .venv/bin/python -m pytest tests --timeout=300 "$@"
