#!/bin/sh
# Installs, with apt, the Debian 12 packages that Kelvara needs and that are not installed yet.
set -eu

PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libqt6sql6-sqlite
libxlsxwriter-dev libmimalloc-dev libcpp-httplib-dev libcurl4-openssl-dev libpsl-dev libssl-dev zlib1g-dev fonts-wqy-microhei xvfb xauth
imagemagick libxkbcommon-dev unzip openssl clang libclang-rt-14-dev
librsvg2-bin help2man desktop-file-utils appstream dpkg-dev qt6-translations-l10n systemd
postgresql libqt6sql6-psql qt6-webengine-dev libqt6webenginecore6-bin libqt6webengine6-data"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "Installing:$missing"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
$SUDO apt-get update -q
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
