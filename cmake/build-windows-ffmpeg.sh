#!/usr/bin/env bash
# Builds the static FFmpeg that the Windows runtime links, from Debian's own source package of
# the FFmpeg version that the native build links, so that both worlds decode and encode with
# the same code. Only what the runtime uses is built: the Windows Media Audio decoders and
# encoders, the ASF demuxer and muxer, the file protocol and libswresample; no programs, no
# network, no libraries found on the machine. The result is kept under DIR/VERSION, and a
# second run with the same version does nothing, also from another build tree.
#   build-windows-ffmpeg.sh VERSION DIR CC CROSS_PREFIX ARCH
# VERSION is the source version (apt-get source ffmpeg=VERSION), CC the C compiler,
# CROSS_PREFIX the prefix of the binutils (i686-w64-mingw32-) and ARCH FFmpeg's name of the
# processor (x86 or x86_64).
set -euo pipefail
version=$1 dir=$2 cc=$3 cross_prefix=$4 arch=$5

root=$dir/${version#*:}  # the epoch is no part of a directory name
prefix=$root/install
[ -f "$prefix/.complete" ] && exit 0
# Build trees of several clones may share DIR: one builds, the others wait and find it done.
mkdir -p "$dir"
exec 9>"$dir/.lock"
flock 9
[ -f "$prefix/.complete" ] && exit 0

rm -rf "$root"
mkdir -p "$root"
cd "$root"
start=$SECONDS
echo "FFmpeg $version for Windows ($arch): fetching the source package"
if ! apt-get source -q=2 "ffmpeg=$version" >fetch.log 2>&1; then
  cat fetch.log >&2
  echo "apt-get source ffmpeg=$version failed: tools/install-deps test adds the source entries" \
       "and the tools it needs" >&2
  exit 1
fi
source_dir=$(find . -mindepth 1 -maxdepth 1 -type d -name 'ffmpeg-*' | head -n 1)

echo "FFmpeg $version for Windows ($arch): configuring"
mkdir build
cd build
if ! "../$source_dir/configure" --prefix="$prefix" \
    --enable-cross-compile --target-os=mingw32 --arch="$arch" \
    --cross-prefix="$cross_prefix" --cc="$cc" \
    --enable-static --disable-shared --disable-programs --disable-doc --disable-debug \
    --disable-network --disable-autodetect --disable-everything \
    --disable-avdevice --disable-avfilter --disable-swscale --disable-postproc \
    --enable-w32threads --disable-x86asm \
    --enable-decoder=wmav1,wmav2,wmapro,wmalossless,wmavoice \
    --enable-encoder=wmav1,wmav2 \
    --enable-demuxer=asf --enable-muxer=asf --enable-protocol=file \
    --enable-swresample >../configure.log 2>&1; then
  tail -n 30 ../configure.log >&2
  exit 1
fi

echo "FFmpeg $version for Windows ($arch): building"
if ! { make -j"$(nproc)" && make install; } >../build.log 2>&1; then
  tail -n 30 ../build.log >&2
  exit 1
fi
cd ..
rm -rf build "$source_dir" ffmpeg_*
touch "$prefix/.complete"
echo "FFmpeg $version for Windows ($arch): built in $((SECONDS - start)) s"
