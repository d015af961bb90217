#!/usr/bin/env bash
# Installs what the build needs, builds the workspace and starts the execute engine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"${REPO_ROOT}/scripts/setup.sh"
"${REPO_ROOT}/scripts/build.sh"

parse_variant
source_underlay
set +u
# shellcheck disable=SC1091
source "${INSTALL_BASE}/setup.bash"
set -u

executable="${INSTALL_BASE}/velmarin_execute_engine/lib/velmarin_execute_engine/execute_engine"
if [[ -x "${executable}" ]]; then
  exec "${executable}" "$@"
fi
echo "Built into ${INSTALL_BASE}:"
ls "${INSTALL_BASE}" | grep -v -e '\.' -e '^COLCON_IGNORE$' | sed 's/^/  /'
echo "The execute_engine executable is not part of this build yet."
