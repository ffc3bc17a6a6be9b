#!/usr/bin/env bash
# Sets everything up, then checks the example instruction files.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
exec .venv/bin/vantle validate examples/steps/*.steps
