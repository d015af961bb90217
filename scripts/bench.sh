#!/usr/bin/env bash
# Builds the plain variant and runs every benchmark executable it installs.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
parse_variant

"${REPO_ROOT}/scripts/build.sh"
source_underlay
set +u
# shellcheck disable=SC1091
source "${INSTALL_BASE}/setup.bash"
set -u

found=0
for benchmark in "${INSTALL_BASE}"/*/lib/*/*_benchmark; do
  [[ -x "${benchmark}" ]] || continue
  found=1
  echo "=== $(basename "${benchmark}")"
  "${benchmark}" --benchmark_min_time=0.2
done
[[ "${found}" -eq 1 ]] || { echo "no benchmark executables were built" >&2; exit 1; }
