#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the emulated device need.
# Idempotent: does nothing when everything is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config dpkg-dev nasm yasm
  # The device is 32-bit: the Windows build is i686 and runs in 32-bit Wine (wine32:i386, from
  # the i386 architecture added below). The x86_64 toolchain keeps the 64-bit build possible.
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev mingw-w64-tools
  wine wine32:i386 wine64 xvfb
  # What 32-bit Wine draws with (it only recommends them): OpenGL for DirectDraw's primary
  # surface, and the X extensions for rendering, display settings and input.
  libgl1:i386 libgl1-mesa-dri:i386 libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386
  libxcomposite1:i386 libxinerama1:i386 libxfixes3:i386 libxxf86vm1:i386 x11-apps x11-utils xdotool imagemagick netpbm
  ffmpeg nginx-light pulseaudio
  libjpeg62-turbo-dev libgif-dev libtiff-dev libpugixml-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  unicode-data
)

if [ "$(id -u)" != 0 ]; then SUDO=sudo; else SUDO=; fi

# wine32 is an i386 package: the architecture must be known to dpkg before apt can see it.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# Source packages for the cross-built sysroot: a deb-src twin of every existing deb entry.
if [ ! -f /etc/apt/sources.list.d/crv-deb-src.sources ]; then
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case "$f" in *crv-deb-src*) continue ;; esac
    sed -n '/^Types:.*deb/,$p' "$f" | sed 's/^Types:.*/Types: deb-src/'
    echo
  done | $SUDO tee /etc/apt/sources.list.d/crv-deb-src.sources >/dev/null
fi
if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list && ! grep -q '^deb-src ' /etc/apt/sources.list; then
  grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee /etc/apt/sources.list.d/crv-deb-src.list >/dev/null
fi

export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync fails one index now and then: try again, then go on with
# what was fetched.
updated=no
for attempt in 1 2 3; do
  if $SUDO apt-get update -qq; then updated=yes; break; fi
  echo "install-packages: apt-get update failed (attempt $attempt)" >&2
  [ "$attempt" = 3 ] || sleep 20
done
if ! $SUDO apt-get install -y -qq --no-install-recommends "${PACKAGES[@]}"; then
  [ "$updated" = no ] || exit 1
  # Without the security archive's i386 index, an amd64 library from it has no i386 twin of the
  # same version (multiarch needs both equal): take both from the point release instead.
  pin=/etc/apt/preferences.d/crv-security-fallback
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' | $SUDO tee "$pin" >/dev/null
  status=0
  $SUDO apt-get install -y -qq --no-install-recommends "${PACKAGES[@]}" || status=$?
  $SUDO rm -f "$pin"
  exit $status
fi
