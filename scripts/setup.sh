#!/usr/bin/env bash
# Installs everything vantle needs on a Debian machine and builds it into a
# project-local virtual environment (.venv). Safe to run again: it only
# installs what is missing and rebuilds incrementally.
set -euo pipefail
cd "$(dirname "$0")/.."

debian_packages=(chromium ffmpeg fonts-liberation libutf8proc-dev nlohmann-json3-dev rapidjson-dev pkg-config g++ python3-venv)
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

# Playwright records videos with an ffmpeg of its own, normally downloaded by
# `playwright install ffmpeg`; Debian's does the same work without a download.
.venv/bin/python - <<'PY'
import json, os, pathlib, playwright
root = pathlib.Path(os.environ.get("PLAYWRIGHT_BROWSERS_PATH") or pathlib.Path.home() / ".cache" / "ms-playwright")
spec = json.loads((pathlib.Path(playwright.__file__).parent / "driver/package/browsers.json").read_text())
revision = next(b["revision"] for b in spec["browsers"] if b["name"] == "ffmpeg")
target = root / f"ffmpeg-{revision}" / "ffmpeg-linux"
if not target.exists() and pathlib.Path("/usr/bin/ffmpeg").exists():
    target.parent.mkdir(parents=True, exist_ok=True)
    target.symlink_to("/usr/bin/ffmpeg")
    print(f"vantle setup: video recording uses /usr/bin/ffmpeg (linked at {target})")
PY

echo "vantle setup: building"
.venv/bin/python -m pip install -q --no-build-isolation --no-deps .
