#!/usr/bin/env bash
# Installs what the build needs, builds the workspace and starts the execute engine.
set -euo pipefail
USAGE="Usage: scripts/run.sh [--sanitizer none|asan|tsan | --real] [-- ENGINE_ARGUMENTS...]
Installs the build dependencies (scripts/setup.sh), builds the variant (scripts/build.sh) and
starts the execute engine in the foreground; Ctrl-C stops it. What follows -- goes to the engine.
  --real  runs it on the real ROS 2 Humble and BehaviorTree.CPP 3.8 (/opt/ros/humble where
          installed, else what ../shared/tools/real-humble builds), reachable over DDS by nodes
          of other processes; on the stand-ins only nodes of its own process reach it."
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
answer_help "$@"
variant_args=()
engine_args=()
while [[ $# -gt 0 ]]; do
  if [[ "$1" == -- ]]; then
    shift
    engine_args=("$@")
    break
  fi
  variant_args+=("$1")
  shift
done
parse_variant "${variant_args[@]}"

"${REPO_ROOT}/scripts/setup.sh"
"${REPO_ROOT}/scripts/build.sh" "${variant_args[@]}"

source_underlay
set +u
# shellcheck disable=SC1091
source "${INSTALL_BASE}/setup.bash"
set -u

up_message="The execute engine is up: it serves \"execute_robot\" (velmarin_protocol/srv/RobotCommon)."
if using_real_libraries; then
  up_message+="
Nodes of other processes reach it over DDS on ROS_DOMAIN_ID ${ROS_DOMAIN_ID:-0}$(
    [[ "${ROS_LOCALHOST_ONLY:-0}" == 1 ]] && echo ", on this machine only (ROS_LOCALHOST_ONLY=1)")."
else
  up_message+="
Built on the stand-ins of platform/, it can be reached only by nodes of its own process; to
reach it over DDS from other processes, run it on the real libraries: scripts/run.sh --real"
fi
up_message+="
Stop it with Ctrl-C."

# Passes the engine's standard output through and adds the message once the service is
# advertised. It outlives a Ctrl-C, which reaches the engine too, to pass on the engine's last
# lines.
announce_when_up() {
  trap '' INT TERM
  local line
  while IFS= read -r line; do
    printf '%s\n' "${line}"
    if [[ "${line}" == "after advertiseService" ]]; then
      echo "${up_message}"
    fi
  done
}

exec "${INSTALL_BASE}/velmarin_execute_engine/lib/velmarin_execute_engine/execute_engine" \
  "${engine_args[@]}" > >(announce_when_up)
