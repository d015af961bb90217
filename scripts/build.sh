#!/usr/bin/env bash
# Builds the workspace (and the stand-ins where ROS 2 Humble is absent) with colcon, showing
# each package's start, end and warnings and colcon's summary; the full output of every
# package stays in log/<variant>/latest_build/<package>/.
# Usage: scripts/build.sh [--sanitizer none|asan|tsan | --real]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
parse_variant "$@"
source_underlay

cd "${REPO_ROOT}"
echo "Building the ${VARIANT} variant into ${BUILD_BASE} (full log: log/${VARIANT}/latest_build)"
# shellcheck disable=SC2046
colcon --log-base "${REPO_ROOT}/log/${VARIANT}" build \
  --base-paths $(workspace_base_paths) \
  --build-base "${BUILD_BASE}" \
  --install-base "${INSTALL_BASE}" \
  --cmake-args \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING=ON \
    "-DCMAKE_C_FLAGS=${SANITIZER_FLAGS}" \
    "-DCMAKE_CXX_FLAGS=${SANITIZER_FLAGS}" \
    "-DCMAKE_EXE_LINKER_FLAGS=${SANITIZER_FLAGS}" \
    "-DCMAKE_SHARED_LINKER_FLAGS=${SANITIZER_FLAGS}"
