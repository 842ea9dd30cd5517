#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Quorvane Pro needs.
# Runs apt-get update once, and only when something is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools qt6-base-private-dev qt6-svg-dev qt6-wayland libgl1-mesa-dev libxkbcommon-dev
    nlohmann-json3-dev libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev libsystemd-dev libxcb1-dev libxcb-res0-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    # an X server and a window manager of the tests' own
    xvfb openbox
    fonts-material-design-icons-iconfont fonts-noto-color-emoji fonts-dejavu-core
    polkitd pkexec procps locales
    clang libclang-rt-14-dev clang-format ccache
)
# Packaging and the installed-package test (scripts/package.sh, scripts/package-test.sh) need more.
if [ "${1:-}" = "--packaging" ]; then
    packages+=(debhelper lintian desktop-file-utils man-db debootstrap systemd-container dpkg-dev devscripts)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The number-formatting tests run under a locale with a decimal comma.
if ! locale -a 2>/dev/null | grep -qi '^de_DE.utf-\?8$'; then
    $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true
fi
