#!/usr/bin/env bash
# Installs everything vantle needs on a Debian machine and builds it into a
# project-local virtual environment (.venv). Safe to run again: it only
# installs what is missing and rebuilds incrementally.
set -euo pipefail
cd "$(dirname "$0")/.."

debian_packages=(chromium fonts-liberation libutf8proc-dev nlohmann-json3-dev pkg-config g++ python3-venv)
missing=()
for pkg in "${debian_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "vantle setup: installing Debian packages: ${missing[*]}"
  sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ ! -x .venv/bin/python ]; then
  echo "vantle setup: creating .venv"
  python3 -m venv .venv
fi
stamp=.venv/.requirements-installed
if ! cmp -s requirements-dev.txt "$stamp" 2>/dev/null; then
  echo "vantle setup: installing Python packages"
  .venv/bin/python -m pip install -q --upgrade pip
  .venv/bin/python -m pip install -q -r requirements-dev.txt
  cp requirements-dev.txt "$stamp"
fi

echo "vantle setup: building"
.venv/bin/python -m pip install -q --no-build-isolation --no-deps .
