#!/usr/bin/env bash
# Builds Qt's core libraries (Core, Network, Concurrent, Test) from Debian's own source of the
# installed Qt, instrumented for ThreadSanitizer, and prints the folder of the built libraries.
#
# ThreadSanitizer sees only what is instrumented. Debian's Qt is not, so every hand-over through
# Qt's mutexes, event queue and thread start looks like a race, and a real race of ours cannot be
# told from those. The instrumented libraries are binary compatible with the installed ones (same
# version, same patches, the same features for these modules) and take their place through
# LD_LIBRARY_PATH; Gui, Widgets, WebSockets and SerialPort stay Debian's.
#
# The result is kept in $1 (default build/qt-tsan) and reused while Debian's Qt keeps its version.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
work="${1:-$root/build/qt-tsan}"
version="$(dpkg-query -W -f='${Version}' libqt6core6)"
stamp="$work/built-$version"
libs="$work/build/lib"

if [ -f "$stamp" ]; then
    echo "$libs"
    exit 0
fi

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
# The source comes from Debian's source archive, which a fresh machine may not list.
if ! grep -Eqs '^(Types: deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/*; then
    $sudo_cmd tee /etc/apt/sources.list.d/amperlane-debian-src.sources >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    $sudo_cmd apt-get update -qq
fi
# What Debian builds these modules with.
"$root/scripts/install-deps.sh" dpkg-dev libdouble-conversion-dev libpcre2-dev libicu-dev \
    libglib2.0-dev zlib1g-dev libb2-dev libssl-dev libproxy-dev libzstd-dev >&2

rm -rf "$work"
mkdir -p "$work/src"
(cd "$work/src" && apt-get source --download-only "qt6-base=$version" >&2 &&
    dpkg-source -x ./*.dsc qtbase >&2)
# QProcess starts children with clone(CLONE_VM | CLONE_VFORK): the child runs Qt's instrumented
# code on the parent's memory before exec, which leaves ThreadSanitizer's record of the parent's
# thread corrupt (from then on it misses that thread's locks and reports races that are none).
# Here QProcess forks, as Qt does where pidfd is missing.
sed -i 's/^#if defined(Q_OS_LINUX) \&\& !QT_CONFIG(forkfd_pidfd)$/#if defined(Q_OS_LINUX) \&\& (!QT_CONFIG(forkfd_pidfd) || defined(__SANITIZE_THREAD__))/' \
    "$work/src/qtbase/src/corelib/io/qprocess_unix.cpp"
grep -q '__SANITIZE_THREAD__' "$work/src/qtbase/src/corelib/io/qprocess_unix.cpp"

# Debian's feature choices for Core and Network; the GUI modules are not built at all.
cmake -S "$work/src/qtbase" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DECM_ENABLE_SANITIZERS=thread \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(gcc -print-multiarch)/cmake" \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_WITH_PCH=OFF \
    -DFEATURE_gui=OFF -DFEATURE_widgets=OFF -DFEATURE_dbus=OFF -DFEATURE_sql=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_mimetype_database=OFF -DFEATURE_doubleconversion=ON \
    -DFEATURE_glib=ON -DFEATURE_icu=ON -DFEATURE_pcre2=ON -DFEATURE_system_pcre2=ON \
    -DFEATURE_ssl=ON -DFEATURE_libproxy=ON -DFEATURE_system_proxies=ON \
    -DFEATURE_system_libb2=ON -DFEATURE_rpath=OFF -DFEATURE_relocatable=OFF \
    -DFEATURE_sctp=OFF >&2
cmake --build "$work/build" --target Core Network Concurrent Test >&2
touch "$stamp"
echo "$libs"
