#!/usr/bin/env bash
# Builds the workspace (and the stand-ins where ROS 2 Humble is absent) with colcon, showing
# each package's start, end and warnings and colcon's summary; the full output of every
# package stays in log/<variant>/latest_build/<package>/.
set -euo pipefail
USAGE="Usage: scripts/build.sh [--sanitizer none|asan|tsan | --real]
Builds one variant of the workspace with colcon into build/<variant> and install/<variant>:
  (default)              plain, on the stand-ins of platform/ (on /opt/ros/humble where installed)
  --sanitizer asan|tsan  with AddressSanitizer and UBSan, or ThreadSanitizer, on the stand-ins
  --real                 on the real ROS 2 Humble and BehaviorTree.CPP 3.8, from /opt/ros/humble
                         or else ../shared/tools/real-humble
A second build of the same variant waits for the first."
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
answer_help "$@"
parse_variant "$@"
lock_variant
refuse_foreign_trees
source_underlay

cd "${REPO_ROOT}"
echo "Building the ${VARIANT} variant into ${BUILD_BASE} (full log: log/${VARIANT}/latest_build)"
# The flags go in through the environment, which CMake reads on a tree's first configuration:
# as -D options they would be reported unused by every package without C or C++ sources.
export CFLAGS="${SANITIZER_FLAGS}" CXXFLAGS="${SANITIZER_FLAGS}" LDFLAGS="${SANITIZER_FLAGS}"
# shellcheck disable=SC2046
colcon --log-base "${REPO_ROOT}/log/${VARIANT}" build \
  --base-paths $(workspace_base_paths) \
  --build-base "${BUILD_BASE}" \
  --install-base "${INSTALL_BASE}" \
  --cmake-args -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
