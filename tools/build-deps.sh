#!/usr/bin/env bash
# Cross-compiles the Windows build's third-party libraries (static) into a cached sysroot:
# libjpeg-turbo (jpeg62 interface), libtiff, pugixml, GoogleTest/GoogleMock and a trimmed
# FFmpeg, all from Debian's source packages.
#
#   tools/build-deps.sh [ARCH]        ARCH: i686 (default, or $CRV_WIN_ARCH) or x86_64
#   sysroot=$(tools/build-deps.sh | tail -n1)
#
# The sysroot is ${CRV_DEPS_CACHE:-/var/cache/corvane-deps}/sysroot-ARCH-HASH, HASH being a
# short hash of this script and cmake/toolchain-mingw.cmake: a change to either makes a new
# sysroot, an unchanged recipe reuses the existing one at once. The build happens in a
# temporary folder beside it and is renamed into place when complete, so an interrupted run
# never leaves something that looks finished. Progress goes to stderr, build output to log
# files; the last line on stdout is the sysroot path.
#
# Environment: CRV_DEPS_CACHE (cache folder), CRV_JOBS (parallel jobs, default: all cores),
# CRV_WIN_ARCH (default arch).
set -euo pipefail

# Everything but the final path goes to stderr.
exec 3>&1 1>&2

root=$(cd "$(dirname "$0")/.." && pwd)
script="$root/tools/build-deps.sh"
toolchain="$root/cmake/toolchain-mingw.cmake"

arch=${1:-${CRV_WIN_ARCH:-i686}}
case "$arch" in
  x86_64|i686) ;;
  *) echo "build-deps: unknown arch '$arch' (x86_64 or i686)"; exit 2 ;;
esac
triple=$arch-w64-mingw32
jobs=${CRV_JOBS:-$(nproc)}

cache=${CRV_DEPS_CACHE:-/var/cache/corvane-deps}
mkdir -p "$cache" 2>/dev/null || { echo "build-deps: cannot create $cache (set CRV_DEPS_CACHE to a writable folder)"; exit 1; }
cache=$(cd "$cache" && pwd)
hash=$(cat "$script" "$toolchain" | sha256sum | cut -c1-12)
name=sysroot-$arch-$hash
final=$cache/$name
stamp_name=crv-deps.stamp

done_already() {
  if [ -f "$final/$stamp_name" ]; then
    echo "build-deps: using $final"
    echo "$final" >&3
    exit 0
  fi
}
done_already

for tool in "$triple-gcc-posix" "$triple-g++-posix" "$triple-ar" cmake ninja make nasm dpkg-source apt-get flock; do
  command -v "$tool" >/dev/null || { echo "build-deps: '$tool' is missing (run tools/install-packages.sh)"; exit 1; }
done

# One builder per recipe at a time; a second caller waits and then finds the result.
exec 9>"$cache/.$name.lock"
if ! flock -n 9; then
  echo "build-deps: another build of $name is running; waiting for it"
  flock 9
fi
done_already
# A folder of this name without its stamp was not made by this script: start over.
rm -rf "$final"
# Leftovers of interrupted or failed runs of this recipe.
rm -rf "$cache/.$name.tmp."*

tmp=$(mktemp -d "$cache/.$name.tmp.XXXXXX")
downloads=$cache/downloads
src=$tmp/src
bld=$tmp/build
logs=$tmp/logs
stage=$tmp/stage            # installs go to $stage$final (DESTDIR), so paths inside name $final
mkdir -p "$downloads" "$src" "$bld" "$logs" "$stage"
start=$(date +%s)
versions=()

fail() {
  echo "build-deps: $*"
  exit 1
}

# run LOG CMD...: runs CMD with its output in $logs/LOG.log; on failure shows the log's tail.
run() {
  local log=$logs/$1.log
  shift
  if ! "$@" >>"$log" 2>&1; then
    echo "build-deps: FAILED: $*"
    echo "---- last lines of $log ----"
    tail -n 60 "$log"
    echo "----"
    echo "build-deps: the build folder $tmp is kept for inspection"
    exit 1
  fi
}

apt_opts=(-qq)
[ "$(id -u)" = 0 ] && apt_opts+=(-o APT::Sandbox::User=root)

# fetch_source PKG: unpacks Debian's source package PKG (patches applied) into $src/PKG.
# The newest version whose files can be had wins; an archive may list a version whose files
# it no longer serves.
fetch_source() {
  local pkg=$1 v all=() sorted=() i j t dsc
  mapfile -t all < <(apt-cache showsrc "$pkg" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -u)
  # Images often ship without package lists: fetch them once when root may.
  if [ ${#all[@]} -eq 0 ] && [ "$(id -u)" = 0 ] && [ -z "${lists_updated:-}" ]; then
    lists_updated=1
    echo "build-deps: no source package lists; running apt-get update"
    apt-get -qq update || true
    mapfile -t all < <(apt-cache showsrc "$pkg" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -u)
  fi
  [ ${#all[@]} -gt 0 ] || fail "no source package '$pkg' known to apt (deb-src entries missing? run tools/install-packages.sh, then apt-get update)"
  # Newest first, in Debian's version order.
  sorted=("${all[@]}")
  for ((i = 1; i < ${#sorted[@]}; i++)); do
    for ((j = i; j > 0; j--)); do
      if dpkg --compare-versions "${sorted[j]}" gt "${sorted[j-1]}"; then
        t=${sorted[j]}; sorted[j]=${sorted[j-1]}; sorted[j-1]=$t
      else
        break
      fi
    done
  done
  for v in "${sorted[@]}"; do
    dsc=$downloads/${pkg}_${v#*:}.dsc
    # The download folder is shared by the builds of every arch and recipe.
    if (cd "$downloads" && flock "$downloads/.lock" apt-get "${apt_opts[@]}" source --download-only "$pkg=$v") &&
       [ -f "$dsc" ]; then
      run "source-$pkg" dpkg-source -x "$dsc" "$src/$pkg"
      versions+=("$pkg $v")
      return 0
    fi
    echo "build-deps: $pkg $v could not be downloaded; trying an older version"
  done
  fail "no version of source package '$pkg' could be downloaded"
}

cmake_common=(
  -G Ninja
  -DCMAKE_TOOLCHAIN_FILE="$toolchain"
  -DCRV_WIN_ARCH="$arch"
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$final"
  # STRING, not PATH: a project declaring these as PATH would turn a relative value given
  # untyped into one below the current directory.
  -DCMAKE_INSTALL_LIBDIR:STRING=lib
  -DCMAKE_INSTALL_INCLUDEDIR:STRING=include
  -DBUILD_SHARED_LIBS=OFF
)

# cmake_project NAME SRCDIR ARGS...: configure, build and stage-install one CMake project.
cmake_project() {
  local pname=$1 dir=$2
  shift 2
  echo "build-deps: building $pname"
  run "$pname" cmake -S "$dir" -B "$bld/$pname" "${cmake_common[@]}" "$@"
  run "$pname" cmake --build "$bld/$pname" -j "$jobs"
  run "$pname" env DESTDIR="$stage" cmake --install "$bld/$pname"
}

echo "build-deps: building $name in $tmp (logs in $logs)"

# ---- libjpeg-turbo: the IJG 6b interface (jpeg62), static, no TurboJPEG API.
fetch_source libjpeg-turbo
cmake_project libjpeg-turbo "$src/libjpeg-turbo" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_JPEG8=OFF -DWITH_JPEG7=OFF \
  -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF -DWITH_MEM_SRCDST=ON -DCMAKE_ASM_NASM_COMPILER=nasm

# ---- libtiff: only its built-in codecs (none, PackBits, LZW, CCITT, ...), no C++ stream API.
fetch_source tiff
cmake_project tiff "$src/tiff" \
  -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dtiff-opengl=OFF \
  -Dcxx=OFF -Dzlib=OFF -Dlibdeflate=OFF -Dpixarlog=OFF -Djpeg=OFF -Dold-jpeg=OFF -Djpeg12=OFF \
  -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dsphinx=OFF

# ---- pugixml.
fetch_source pugixml
cmake_project pugixml "$src/pugixml" -DPUGIXML_BUILD_TESTS=OFF

# ---- GoogleTest and GoogleMock: the sources Debian's googletest package installs, else its
# source package.
if [ -f /usr/src/googletest/CMakeLists.txt ]; then
  gtest_src=/usr/src/googletest
  versions+=("googletest $(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo unknown) (/usr/src/googletest)")
else
  fetch_source googletest
  gtest_src=$src/googletest
fi
cmake_project googletest "$gtest_src" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_build_tests=OFF

# ---- FFmpeg: only the components the player, its codec libraries and the converter use.
ff_decoders=(
  mjpeg h263 svq1 svq3 mpeg4 mpeg1video mpeg2video mp2 mp3 aac wmv1 wmv2 wmav1 wmav2
  h264 amrnb amrwb
  pcm_s16le pcm_s16be pcm_u8 pcm_s8 pcm_s24le pcm_s24be pcm_s32le pcm_s32be
  pcm_f32le pcm_f32be pcm_f64le pcm_f64be pcm_alaw pcm_mulaw
  adpcm_ima_qt adpcm_ima_wav adpcm_ms
)
ff_encoders=(h263 svq1 adpcm_ima_qt pcm_s16le)
ff_demuxers=(avi mov mpegps mpegvideo asf mp3 wav)
ff_muxers=(mov)
ff_parsers=(mpeg4video h263 h264 mpegvideo mpegaudio aac mjpeg)
ff_protocols=(file)

fetch_source ffmpeg
echo "build-deps: building ffmpeg (the longest part)"
ff_args=(
  --prefix="$final"
  --target-os=mingw32 --arch="$arch" --enable-cross-compile
  --cross-prefix="$triple-" --cc="$triple-gcc-posix" --cxx="$triple-g++-posix"
  --pkg-config=false
  --enable-static --disable-shared
  --disable-everything --disable-programs --disable-doc --disable-network --disable-autodetect
  --enable-w32threads
  --disable-avdevice --disable-avfilter --disable-postproc
  --enable-avcodec --enable-avformat --enable-swscale --enable-swresample
  --disable-debug
)
# nasm for the x86 assembly of both targets (the device build decodes with it).
ff_args+=(--x86asmexe=nasm)
for c in "${ff_decoders[@]}"; do ff_args+=(--enable-decoder="$c"); done
for c in "${ff_encoders[@]}"; do ff_args+=(--enable-encoder="$c"); done
for c in "${ff_demuxers[@]}"; do ff_args+=(--enable-demuxer="$c"); done
for c in "${ff_muxers[@]}"; do ff_args+=(--enable-muxer="$c"); done
for c in "${ff_parsers[@]}"; do ff_args+=(--enable-parser="$c"); done
for c in "${ff_protocols[@]}"; do ff_args+=(--enable-protocol="$c"); done
mkdir -p "$bld/ffmpeg"
run ffmpeg bash -c 'cd "$1" && shift && "$@"' _ "$bld/ffmpeg" "$src/ffmpeg/configure" "${ff_args[@]}"

# configure drops a requested component quietly when something it depends on is missing.
ff_config=$bld/ffmpeg/config_components.h
[ -f "$ff_config" ] || ff_config=$bld/ffmpeg/config.h
missing=()
check_enabled() { # KIND NAME...
  local kind=$1 c macro
  shift
  for c in "$@"; do
    macro="CONFIG_$(echo "${c}_$kind" | tr '[:lower:]' '[:upper:]')"
    grep -q "^#define $macro 1" "$ff_config" || missing+=("$kind $c")
  done
}
check_enabled decoder "${ff_decoders[@]}"
check_enabled encoder "${ff_encoders[@]}"
check_enabled demuxer "${ff_demuxers[@]}"
check_enabled muxer "${ff_muxers[@]}"
check_enabled parser "${ff_parsers[@]}"
check_enabled protocol "${ff_protocols[@]}"
grep -q '^#define HAVE_W32THREADS 1' "$bld/ffmpeg/config.h" || missing+=("w32threads")
[ ${#missing[@]} -eq 0 ] || fail "ffmpeg configure left out: ${missing[*]} (see $logs/ffmpeg.log)"

run ffmpeg make -C "$bld/ffmpeg" -j "$jobs"
run ffmpeg make -C "$bld/ffmpeg" install DESTDIR="$stage"

# ---- Finish: record what went in, keep the logs, and move the sysroot into place.
out=$stage$final
for f in include/jpeglib.h lib/libjpeg.a include/tiffio.h lib/libtiff.a include/pugixml.hpp \
         lib/libpugixml.a include/gtest/gtest.h lib/libgtest.a lib/libgtest_main.a \
         include/gmock/gmock.h lib/libgmock.a lib/libavformat.a lib/libavcodec.a \
         lib/libswscale.a lib/libswresample.a lib/libavutil.a include/libavcodec/avcodec.h; do
  [ -f "$out/$f" ] || fail "$f is missing from the installed sysroot (see the logs in $logs)"
done
grep -q '^#define JPEG_LIB_VERSION  *62' "$out/include/jconfig.h" ||
  fail "the installed libjpeg does not have the jpeg62 interface"
mkdir -p "$out/share/crv-deps"
cp -r "$logs" "$out/share/crv-deps/logs"
elapsed=$(($(date +%s) - start))
{
  echo "recipe $hash"
  echo "arch $arch"
  echo "compiler $("$triple-gcc-posix" -dumpversion)"
  printf '%s\n' "${versions[@]}"
  echo "built $(date -u +%Y-%m-%dT%H:%M:%SZ) in ${elapsed}s"
} >"$out/$stamp_name"
mv -T "$out" "$final"
rm -rf "$tmp"
echo "build-deps: done in ${elapsed}s: $final"
echo "$final" >&3
