# Shared settings of the set-up, build, test, benchmark and run scripts; sourced, not run.

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

# Prints the calling script's USAGE and exits when its arguments ask for help (before "--").
answer_help() {
  local argument
  for argument in "$@"; do
    case "${argument}" in
      --) return 0 ;;
      -h|--help) echo "${USAGE}"; exit 0 ;;
    esac
  done
}

refuse_option() {
  echo "unknown option '$1'" >&2
  echo "${USAGE}" | head -1 >&2
  exit 2
}

# Parses "--sanitizer none|asan|tsan" or "--real" into VARIANT and the flags of that build.
# "--real" builds against the real ROS 2 Humble and BehaviorTree.CPP 3.8 (no stand-ins).
parse_variant() {
  VARIANT=plain
  local sanitizer_given=0 real_given=0
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
        sanitizer_given=1
        shift 2 ;;
      --real) VARIANT=real; real_given=1; shift ;;
      *) refuse_option "$1" ;;
    esac
  done
  if [[ "${sanitizer_given}" -eq 1 && "${real_given}" -eq 1 ]]; then
    echo "--real builds without sanitizers: the real libraries are not instrumented" >&2
    exit 2
  fi
  # GCC 12 reports false maybe-uninitialized warnings inside libstdc++ once instrumented;
  # the plain build keeps that warning as an error.
  case "${VARIANT}" in
    plain|real) SANITIZER_FLAGS="" ;;
    asan) SANITIZER_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -Wno-maybe-uninitialized" ;;
    tsan) SANITIZER_FLAGS="-fsanitize=thread -fno-omit-frame-pointer -Wno-maybe-uninitialized" ;;
  esac
  BUILD_BASE="${REPO_ROOT}/build/${VARIANT}"
  INSTALL_BASE="${REPO_ROOT}/install/${VARIANT}"
}

# The env script of the real libraries that ../shared/tools/real-humble builds (once per machine,
# cached), or nothing where that tool is absent.
real_humble_env_script() {
  local tool="${REPO_ROOT}/../shared/tools/real-humble"
  [[ -x "${tool}" ]] || return 0
  "${tool}"
}

# True where the real libraries can be had: installed, or buildable by real-humble.
real_libraries_available() {
  [[ -f "${HUMBLE_SETUP}" || -x "${REPO_ROOT}/../shared/tools/real-humble" ]]
}

# True when the sourced underlay provides ROS 2 Humble itself.
using_real_libraries() {
  [[ "${VARIANT}" == real || -f "${HUMBLE_SETUP}" ]]
}

# True when the sourced underlay already holds the ament package $1.
underlay_has_package() {
  local prefix
  local IFS=:
  for prefix in ${AMENT_PREFIX_PATH:-}; do
    [[ -e "${prefix}/share/ament_index/resource_index/packages/$1" ]] && return 0
  done
  return 1
}

# The system packages, and what of platform/ the underlay does not provide: on real libraries
# only nav2_msgs (where missing) and the conformance tests; otherwise every stand-in.
# Call after source_underlay.
workspace_base_paths() {
  local paths=("${REPO_ROOT}"/velmarin_*)
  local dir
  if using_real_libraries; then
    underlay_has_package nav2_msgs || paths+=("${REPO_ROOT}/platform/nav2_msgs")
    if [[ -d "${REPO_ROOT}/platform/conformance" ]]; then
      paths+=("${REPO_ROOT}/platform/conformance")
    fi
  else
    for dir in "${REPO_ROOT}"/platform/*/; do
      paths+=("${dir%/}")
    done
  fi
  echo "${paths[@]}"
}

# Sources ROS 2 Humble where the variant builds against it: /opt/ros/humble when installed,
# else (for --real) the libraries real-humble builds, with a loopback-only DDS.
source_underlay() {
  local setup=""
  if [[ -f "${HUMBLE_SETUP}" ]]; then
    setup="${HUMBLE_SETUP}"
  elif [[ "${VARIANT}" == real ]]; then
    setup="$(real_humble_env_script)"
    if [[ -z "${setup}" ]]; then
      echo "--real needs ROS 2 Humble in /opt/ros/humble or ../shared/tools/real-humble" >&2
      exit 2
    fi
    # Humble's type support generators, built there, import Debian's newer rosidl_cmake, which
    # warns on every import that its Python module is deprecated: that one message only.
    export PYTHONWARNINGS="${PYTHONWARNINGS:+${PYTHONWARNINGS},}ignore:The 'rosidl_cmake' Python module is deprecated:UserWarning"
  fi
  if [[ -n "${setup}" ]]; then
    set +u
    # shellcheck disable=SC1090
    source "${setup}"
    set -u
  fi
}

# Holds the variant's lock until the calling script ends, so that two scripts never build or
# test the same build tree at once: a second one waits, and says so. Scripts that a locking
# script runs inherit the lock.
lock_variant() {
  [[ "${VELMARIN_LOCKED_VARIANT:-}" == "${VARIANT}" ]] && return 0
  mkdir -p "${REPO_ROOT}/build"
  local lock_file="${REPO_ROOT}/build/${VARIANT}.lock"
  exec {variant_lock}>"${lock_file}"
  if ! flock -n "${variant_lock}"; then
    echo "Waiting for another script that builds or tests the ${VARIANT} variant here (lock: ${lock_file}) ..."
    flock "${variant_lock}"
  fi
  export VELMARIN_LOCKED_VARIANT="${VARIANT}"
}

# Stops when the variant's build or install tree was made from another source tree, as in a
# workspace copied with its build/ folder: colcon would build (and the tests run) that other
# tree, whose paths are recorded in the CMake caches and colcon's setup files.
refuse_foreign_trees() {
  local here cache source_dir prefix foreign=""
  here="$(realpath -m "${REPO_ROOT}")"
  for cache in "${BUILD_BASE}"/*/CMakeCache.txt; do
    [[ -f "${cache}" ]] || continue
    source_dir="$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "${cache}")"
    if [[ "$(realpath -m "${source_dir}")/" != "${here}/"* ]]; then
      foreign="${BUILD_BASE} was configured from ${source_dir}"
      break
    fi
  done
  if [[ -z "${foreign}" && -f "${INSTALL_BASE}/setup.sh" ]]; then
    prefix="$(sed -n 's/^_colcon_prefix_chain_sh_COLCON_CURRENT_PREFIX=//p' "${INSTALL_BASE}/setup.sh")"
    if [[ "$(realpath -m "${prefix}")" != "$(realpath -m "${INSTALL_BASE}")" ]]; then
      foreign="${INSTALL_BASE} was installed as ${prefix}"
    fi
  fi
  [[ -z "${foreign}" ]] && return 0
  cat >&2 <<MESSAGE
${foreign}:
it belongs to another workspace (was this one copied with its build/ folder?), and building or
testing here would build and test that one. Remove both trees of the variant:
  rm -rf '${BUILD_BASE}' '${INSTALL_BASE}'
and run the script again.
MESSAGE
  exit 1
}

# On the real middleware, runs on this machine at the same time would see each other's nodes:
# takes a DDS domain of its own, held by a lock until the calling script ends, and keeps DDS on
# loopback.
take_ros_domain() {
  export ROS_LOCALHOST_ONLY=1
  local candidate
  for candidate in $(seq 100 229); do
    exec {domain_lock}>"${TMPDIR:-/tmp}/velmarin-ros-domain-${candidate}.lock"
    if flock -n "${domain_lock}"; then
      export ROS_DOMAIN_ID="${candidate}"
      return 0
    fi
    exec {domain_lock}>&-
  done
  echo "no free ROS_DOMAIN_ID in 100..229" >&2
  exit 1
}
