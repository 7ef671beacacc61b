#!/usr/bin/env bash
# Installs what is missing, builds, and starts Zintrel.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
if [[ -x build/ui/zintrel ]]; then
  exec build/ui/zintrel "$@"
fi
echo "Built. The windows are not part of this build yet; bench/zintrel-bench makes listings headlessly."
