#!/usr/bin/env bash
# Builds if needed, then runs every test of every package and prints ctest's summary per
# package and one total line. Exits non-zero on any failure.
set -euo pipefail
USAGE="Usage: scripts/test.sh [--sanitizer none|asan|tsan | --real] [--repeat N]
Builds the variant if needed (see scripts/build.sh --help), runs every test executable of every
package with ctest, and ends with 'Total: N passed, N failed', counting test executables.
  --real      builds the system packages against the real ROS 2 Humble and BehaviorTree.CPP 3.8
              (/opt/ros/humble where installed, else what ../shared/tools/real-humble builds) and
              runs their tests and the conformance tests of platform/conformance there, on a
              ROS_DOMAIN_ID of the run's own and loopback only.
  --repeat N  runs every test up to N times and counts it failed at its first failing run."
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
answer_help "$@"
repeat=1
variant_args=()
while [[ $# -gt 0 ]]; do
  if [[ "$1" == --repeat ]]; then
    [[ $# -ge 2 && "$2" =~ ^[1-9][0-9]*$ ]] || { echo "--repeat needs a count" >&2; exit 2; }
    repeat="$2"
    shift 2
  else
    variant_args+=("$1")
    shift
  fi
done
parse_variant "${variant_args[@]}"
lock_variant

"${REPO_ROOT}/scripts/build.sh" "${variant_args[@]}"

source_underlay
set +u
# shellcheck disable=SC1091
source "${INSTALL_BASE}/setup.bash"
set -u

# The tests of one run go one after the other, so they share its domain. No test talks beyond
# this machine.
if using_real_libraries; then
  take_ros_domain
  echo "Testing on ROS_DOMAIN_ID ${ROS_DOMAIN_ID}"
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

passed=0
failed=0
for ctest_file in "${BUILD_BASE}"/*/CTestTestfile.cmake; do
  package_build="$(dirname "${ctest_file}")"
  package="$(basename "${package_build}")"
  if ! grep -q -E "^(add_test|subdirs)" "${ctest_file}"; then
    continue
  fi
  echo "=== ${package} (${VARIANT})"
  log_file="$(mktemp)"
  set +e
  ctest --test-dir "${package_build}" --output-on-failure --repeat "until-fail:${repeat}" 2>&1 | tee "${log_file}"
  set -e
  summary="$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "${log_file}" | tail -1 || true)"
  if [[ -z "${summary}" ]]; then
    echo "no ctest summary for ${package}" >&2
    failed=$((failed + 1))
  else
    total="$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"${summary}")"
    package_failed="$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"${summary}")"
    passed=$((passed + total - package_failed))
    failed=$((failed + package_failed))
  fi
  rm -f "${log_file}"
done

echo "Total: ${passed} passed, ${failed} failed"
[[ "${failed}" -eq 0 && "${passed}" -gt 0 ]]
