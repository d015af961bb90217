# Shared settings of the set-up, build, test and run scripts; sourced, not run.

REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian's ROS tools run on the system interpreter, not on whatever python3 comes first.
export PATH="/usr/bin:${PATH}"

HUMBLE_SETUP=/opt/ros/humble/setup.bash

DEBIAN_PACKAGES=(
  build-essential cmake git
  ament-cmake ament-cmake-googletest
  colcon python3-colcon-bash python3-colcon-cmake python3-colcon-defaults
  python3-colcon-library-path python3-colcon-metadata python3-colcon-output
  python3-colcon-package-selection python3-colcon-parallel-executor
  python3-colcon-recursive-crawl python3-colcon-ros python3-colcon-test-result
  rosidl-generator-c-cpp librosidl-typesupport-introspection-c-cpp-dev
  libament-index-cpp-dev librcutils-dev librcpputils-dev
  libspdlog-dev libtinyxml2-dev libtf2-dev
  libgtest-dev libbenchmark-dev
)

# Parses "--sanitizer none|asan|tsan" into VARIANT and the flags of that build.
parse_variant() {
  VARIANT=plain
  while [[ $# -gt 0 ]]; do
    case "$1" in
      --sanitizer)
        [[ $# -ge 2 ]] || { echo "--sanitizer needs a value: none, asan or tsan" >&2; exit 2; }
        case "$2" in
          none|plain) VARIANT=plain ;;
          asan) VARIANT=asan ;;
          tsan) VARIANT=tsan ;;
          *) echo "unknown sanitizer '$2' (none, asan or tsan)" >&2; exit 2 ;;
        esac
        shift 2 ;;
      *) echo "unknown option '$1'" >&2; exit 2 ;;
    esac
  done
  # GCC 12 reports false maybe-uninitialized warnings inside libstdc++ once instrumented;
  # the plain build keeps that warning as an error.
  case "${VARIANT}" in
    plain) SANITIZER_FLAGS="" ;;
    asan) SANITIZER_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -Wno-maybe-uninitialized" ;;
    tsan) SANITIZER_FLAGS="-fsanitize=thread -fno-omit-frame-pointer -Wno-maybe-uninitialized" ;;
  esac
  BUILD_BASE="${REPO_ROOT}/build/${VARIANT}"
  INSTALL_BASE="${REPO_ROOT}/install/${VARIANT}"
}

# The stand-ins under platform/ are built only where ROS 2 Humble is absent.
workspace_base_paths() {
  local paths=("${REPO_ROOT}"/velmarin_*)
  if [[ ! -f "${HUMBLE_SETUP}" ]]; then
    local dir
    for dir in "${REPO_ROOT}"/platform/*/; do
      paths+=("${dir%/}")
    done
  fi
  echo "${paths[@]}"
}

source_underlay() {
  if [[ -f "${HUMBLE_SETUP}" ]]; then
    set +u
    # shellcheck disable=SC1090
    source "${HUMBLE_SETUP}"
    set -u
  fi
}
