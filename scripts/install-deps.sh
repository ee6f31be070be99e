#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when any is missing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config clang-format clang libclang-rt-14-dev
    libgtest-dev
    libglib2.0-dev libglib2.0-dev-bin libgtk-3-dev libwebkit2gtk-4.1-dev
    libcurl4-openssl-dev libjsoncpp-dev libcpp-httplib-dev
    xvfb xauth x11-utils xdotool openbox xcompmgr
    fonts-liberation2 fonts-noto-cjk desktop-file-utils file python3 curl
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
