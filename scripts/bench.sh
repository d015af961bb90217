#!/usr/bin/env bash
# Builds a variant and runs every benchmark executable it installs.
set -euo pipefail
USAGE="Usage: scripts/bench.sh [--real] [-- BENCHMARK_OPTIONS...]
Builds the plain variant, or with --real the real one (see scripts/build.sh --help), runs every
installed *_benchmark executable (Google Benchmark) and prints each results table; what the
programs print besides is kept in log/<variant>/latest_bench/<benchmark>.log. Exits non-zero
when a benchmark fails.
  --real  builds and runs on the real ROS 2 Humble and BehaviorTree.CPP 3.8 (as
          scripts/test.sh --real), on a ROS_DOMAIN_ID of the run's own and loopback only.
  -- ...  handed to every benchmark executable after the script's own options, for instance
          -- --benchmark_filter=BM_ProcessCpu --benchmark_min_time=1"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
answer_help "$@"
variant_args=()
benchmark_options=(--benchmark_min_time=0.2)
while [[ $# -gt 0 ]]; do
  case "$1" in
    --real) variant_args+=("$1"); shift ;;
    --) shift; benchmark_options+=("$@"); break ;;
    *) refuse_option "$1" ;;
  esac
done
parse_variant "${variant_args[@]}"
lock_variant

"${REPO_ROOT}/scripts/build.sh" "${variant_args[@]}"
source_underlay
set +u
# shellcheck disable=SC1091
source "${INSTALL_BASE}/setup.bash"
set -u
if using_real_libraries; then
  take_ros_domain
  echo "Benchmarking on ROS_DOMAIN_ID ${ROS_DOMAIN_ID}"
fi

# The table goes to a file of its own, so that the engine's start-up and log lines, which the
# programs print on the same streams, stay out of it.
results="${REPO_ROOT}/log/${VARIANT}/latest_bench"
rm -rf "${results}"
mkdir -p "${results}"
found=0
failed=0
for benchmark in "${INSTALL_BASE}"/*/lib/*/*_benchmark; do
  [[ -x "${benchmark}" ]] || continue
  found=1
  name="$(basename "${benchmark}")"
  echo "=== ${name} (${VARIANT})"
  status=0
  "${benchmark}" "${benchmark_options[@]}" \
    --benchmark_out="${results}/${name}.txt" --benchmark_out_format=console \
    >"${results}/${name}.log" 2>&1 || status=$?
  cat "${results}/${name}.txt" 2>/dev/null || true
  if [[ "${status}" -ne 0 ]]; then
    echo "${name} failed with exit status ${status}; its output: ${results}/${name}.log" >&2
    failed=1
  elif grep -q "ERROR OCCURRED" "${results}/${name}.txt"; then
    echo "${name}: a benchmark failed (ERROR OCCURRED above); its output: ${results}/${name}.log" >&2
    failed=1
  fi
done
[[ "${found}" -eq 1 ]] || { echo "no benchmark executables were built" >&2; exit 1; }
[[ "${failed}" -eq 0 ]]
