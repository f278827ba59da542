#!/bin/sh
# Installs the Debian 12 packages Fleetwarden needs to build, run and test,
# skipping the ones already there.
set -eu
PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev
libsnmp-dev libcurl4-openssl-dev libgtest-dev libgmock-dev snmpd snmp python3-pyftpdlib
xvfb xauth iproute2 clang libclang-rt-14-dev dpkg-dev desktop-file-utils"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq $missing
