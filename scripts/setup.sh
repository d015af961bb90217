#!/usr/bin/env bash
# Installs the Debian packages the build needs; packages already there are skipped.
set -euo pipefail
USAGE="Usage: scripts/setup.sh
Installs with apt-get the Debian packages that the build needs (as root, or through sudo);
packages already installed are skipped."
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
answer_help "$@"
[[ $# -eq 0 ]] || refuse_option "$1"

missing=()
for package in "${DEBIAN_PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "${package}" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("${package}")
  fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
  echo "All build dependencies are installed."
  exit 0
fi

SUDO=""
if [[ "$(id -u)" -ne 0 ]]; then
  SUDO=sudo
fi
echo "Installing: ${missing[*]}"
${SUDO} apt-get update
DEBIAN_FRONTEND=noninteractive ${SUDO} apt-get install -y --no-install-recommends "${missing[@]}"
