#!/usr/bin/env bash
# Builds the C libraries that the Windows and web builds link statically, from Debian's own
# source packages, and installs them under build/third-party/TARGET (include/, lib/,
# lib/pkgconfig/ and the CMake package files a library ships). cmake/third-party.cmake points a
# cross build at that folder. For this machine (TARGET native) only libspng is built, with its
# SIMD unfiltering, which Debian's package leaves out; kit/CMakeLists.txt takes it when it is
# there.
#   bash scripts/third-party.sh TARGET [LIBRARY...]   build what is missing or out of date
#   bash scripts/third-party.sh TARGET --check        also build and run a program calling each
# TARGET is mingw (x86_64-w64-mingw32, posix threads), wasm (Emscripten) or native. Without LIBRARY,
# every library is built. A library is rebuilt when its version or its recipe below changed, or
# when a library it links against was rebuilt; otherwise nothing is done.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# The Debian source packages, at the versions Debian 12 (bookworm) ships, in build order.
# zlib stays at 1:1.2.13.dfsg-1, the version of the installed zlib1g: its security update
# changes only minizip, which is not built here.
libraries=(zlib libisal libspng libjpeg-turbo libsodium utf8proc libwebp)
declare -A version=(
  [zlib]=1:1.2.13.dfsg-1
  [libisal]=2.30.0-5
  [libspng]=0.7.3-3
  [libjpeg-turbo]=1:2.1.5-2
  [libsodium]=1.0.18-1+deb12u1
  [utf8proc]=2.8.0-1
  [libwebp]=1.2.4-0.2+deb12u1
)
# What a library links against: it is rebuilt whenever one of these is.
declare -A depends=([libspng]=zlib)

usage() {
  echo "usage: $0 mingw|wasm|native [--check] [LIBRARY...]" >&2
  echo "libraries: ${libraries[*]}" >&2
  exit 2
}

[ $# -ge 1 ] || usage
target=$1
shift
case $target in
  mingw | wasm | native) ;;
  *) usage ;;
esac
check=no
wanted=()
for argument in "$@"; do
  if [ "$argument" = --check ]; then
    check=yes
  elif [ -n "${version[$argument]:-}" ]; then
    wanted+=("$argument")
  else
    echo "unknown library: $argument" >&2
    usage
  fi
done
[ ${#wanted[@]} -gt 0 ] || wanted=("${libraries[@]}")
# ISA-L is x86-64 and arm64 assembly, which the web has none of; for Windows, libspng inflates
# with it (below).
if [ "$target" = wasm ]; then
  libraries=(zlib libspng libjpeg-turbo libsodium utf8proc libwebp)
elif [ "$target" = mingw ]; then
  depends[libspng]="zlib libisal"
fi
if [ "$target" = native ]; then
  # Every other library, and zlib under libspng, is Debian's own package on this machine.
  [ "${wanted[*]}" = libspng ] || [ "${wanted[*]}" = "${libraries[*]}" ] ||
    { echo "for native, only libspng is built" >&2; usage; }
  [ $check = no ] || { echo "--check is for mingw and wasm" >&2; usage; }
  wanted=(libspng)
  depends=()
fi

top=$root/build/third-party
prefix=$top/$target
downloads=$top/downloads
work=$top/build-$target
stamps=$prefix/stamps
jobs=2

# --- Tools ------------------------------------------------------------------------------------

need_tools() {
  source "$root/scripts/packages.sh"
  ensure_packages "${third_party_packages[@]}"
  if [ "$target" = mingw ]; then
    ensure_packages "${third_party_mingw_packages[@]}"
  elif [ "$target" = wasm ]; then
    ensure_packages "${third_party_wasm_packages[@]}"
  else
    ensure_packages "${program_packages[@]}"
  fi
}

if [ "$target" = mingw ]; then
  host=x86_64-w64-mingw32
  export CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib
  cmake_target=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake")
elif [ "$target" = native ]; then
  # Position-independent, since the Python module links it into a shared object.
  cmake_target=(-DCMAKE_POSITION_INDEPENDENT_CODE=ON)
else
  # Debian's emcc finds its JavaScript modules through NODE_PATH when Node.js is not Debian's.
  export NODE_PATH=/usr/share/nodejs
  # The JavaScript this Emscripten writes fetches its .wasm file with fetch() wherever fetch()
  # exists, and Node.js 18 and later have one that takes no file names: the test programs that
  # configure scripts run (libsodium's, libjpeg-turbo's type sizes) would fail or give wrong
  # answers without the option that takes it away.
  export NODE_OPTIONS="${NODE_OPTIONS:+$NODE_OPTIONS }--no-experimental-fetch"
  cmake_target=(-DCMAKE_TOOLCHAIN_FILE=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
fi
cmake_common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix"
  -DCMAKE_INSTALL_LIBDIR="$prefix/lib" -DCMAKE_INSTALL_INCLUDEDIR="$prefix/include"
  -DBUILD_SHARED_LIBS=OFF "${cmake_target[@]}")

# --- Sources ----------------------------------------------------------------------------------

# Whether apt knows any deb-src entry at all.
have_deb_src() {
  grep -qs '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list ||
    grep -qsi '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources
}

# Adds deb-src entries beside the configured Debian archives (the deb entries whose address
# ends in /debian or /debian-security), in the format each was written in.
add_deb_src() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "No deb-src entry is configured; run this script as root once to add one." >&2
    exit 1
  fi
  local archive='[^[:space:]]*/debian(-security)?/?'
  local list=/etc/apt/sources.list.d/third-party-deb-src.list
  local sources=/etc/apt/sources.list.d/third-party-deb-src.sources
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    grep -E "^[[:space:]]*deb[[:space:]]+(\[[^]]*\][[:space:]]+)?$archive[[:space:]]" |
    sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' >"$list.new" || true
  # Each deb822 stanza with a deb type and a Debian archive, again with the type deb-src.
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    awk -v archive="^$archive\$" '
      function flush() {
        if (deb && debian && !disabled) printf "%s\n", stanza
        stanza = ""; deb = debian = disabled = 0
      }
      /^[[:space:]]*$/ { flush(); next }
      /^#/ { next }
      tolower($1) == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1; $0 = "Types: deb-src" }
      tolower($1) == "uris:" { for (i = 2; i <= NF; i++) if ($i ~ archive) debian = 1 }
      tolower($1) == "enabled:" && tolower($2) == "no" { disabled = 1 }
      { stanza = stanza $0 "\n" }
      END { flush() }
    ' "$file"
  done >"$sources.new"
  local made=no
  for file in "$list" "$sources"; do
    if [ -s "$file.new" ]; then
      mv "$file.new" "$file"
      made=yes
    else
      rm -f "$file.new"
    fi
  done
  if [ $made = no ]; then
    echo "No Debian archive found in apt's sources to add a deb-src entry for." >&2
    exit 1
  fi
  echo "Added deb-src entries for Debian's archives to /etc/apt/sources.list.d"
}

apt_update() {
  local tries
  for tries in 1 2 3 4 5 6 7 8 9 10; do
    apt-get update -qq && return 0
    echo "apt-get update failed (apt may be busy); trying again in 15 s" >&2
    sleep 15
  done
  return 1
}

# The folder of one downloaded source package: its .dsc, tarballs and nothing else.
source_folder() { echo "$downloads/$1_${version[$1]#*:}"; }

# Downloads a source package once; apt checks the files against the archive's signed indexes.
download() {
  local name=$1 folder
  folder=$(source_folder "$name")
  [ -f "$folder/done" ] && return 0
  if ! apt-cache showsrc "$name" 2>/dev/null | grep -qx "Version: ${version[$name]}"; then
    have_deb_src || add_deb_src
    apt_update
  fi
  rm -rf "$folder"
  mkdir -p "$folder"
  (cd "$folder" && apt-get source -qq --download-only "$name=${version[$name]}" 2>&1 |
    { grep -v 'unsandboxed as root' || true; }) >&2
  ls "$folder"/*.dsc >/dev/null
  touch "$folder/done"
}

# Unpacks a downloaded source package, with Debian's patches applied, into a fresh folder and
# prints that folder.
unpack() {
  local name=$1 folder
  folder=$(source_folder "$name")
  rm -rf "$work/$name"
  mkdir -p "$work"
  dpkg-source --no-check -q -x "$folder"/*.dsc "$work/$name" >/dev/null 2>&1
  echo "$work/$name"
}

# --- Recipes: each runs in the unpacked source folder and installs into $prefix --------------

build_zlib() {
  if [ "$target" = mingw ]; then
    CHOST=$host ./configure --static --prefix="$prefix" --libdir="$prefix/lib"
  else
    emconfigure ./configure --static --prefix="$prefix" --libdir="$prefix/lib"
  fi
  make -j$jobs
  make install
}

# ISA-L's deflate, inflate and checksums for the Windows build. Its configure script asks for
# Yasm to assemble for MinGW (win64 objects); NASM does the rest.
build_libisal() {
  ./autogen.sh
  ./configure --host=$host --prefix="$prefix" --libdir="$prefix/lib" --enable-static --disable-shared
  make -j$jobs
  make install
}

build_libspng() {
  # The SIMD unfiltering is on for x86-64 (SSE2, which every x86-64 processor has): Debian's
  # package leaves it off, and without it unfiltering takes most of the time of reading a
  # photograph's PNG (measured: 345 against 191 ms for a 4096 x 4096 one). It is off for the web,
  # which has no SSE2. The pixels are the same either way. Upstream's CMake file names the static
  # library spng_static and writes a pkg-config file for a shared one; spng.pc is written here
  # as the one a static library needs (with SPNG_STATIC, which keeps the Windows header from
  # asking for DLL imports). Its static-only build names the shared target where it means the
  # static one, which fails to configure without the shared one; that one line is corrected.
  sed -i -e '/add_library(spng_static/,/endif()/s/target_include_directories(spng/&_static/' \
    CMakeLists.txt
  local simd=ON zlib=(-DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a")
  if [ "$target" = wasm ] || { [ "$target" = native ] && [ "$(uname -m)" != x86_64 ]; }; then simd=OFF; fi
  [ "$target" = native ] && zlib=()  # Debian's
  # Natively where ISA-L is installed, and for Windows with the ISA-L built above, libspng
  # inflates and checks CRCs with it through the zlib-shaped adapter in
  # kit/png_inflate_isal.{h,c} (reading a photograph's PNG takes about two thirds of the time);
  # its writer still deflates with zlib.
  local isal=() requires=zlib
  if { [ "$target" = native ] && pkg-config --exists libisal; } ||
    { [ "$target" = mingw ] && [ -f "$prefix/lib/pkgconfig/libisal.pc" ]; }; then
    cp "$root/kit/png_inflate_isal.h" "$root/kit/png_inflate_isal.c" .
    echo 'target_sources(spng_static PRIVATE png_inflate_isal.c)' >>CMakeLists.txt
    isal=(-DCMAKE_C_FLAGS="-include $PWD/png_inflate_isal.h -I$prefix/include")
    requires="zlib libisal"
  fi
  cmake -S . -B build "${cmake_common[@]}" -DSPNG_SHARED=OFF -DSPNG_STATIC=ON \
    -DBUILD_EXAMPLES=OFF -DENABLE_OPT="$simd" "${zlib[@]}" "${isal[@]}" >/dev/null
  cmake --build build -j $jobs >/dev/null
  cmake --install build >/dev/null
  rm -f "$prefix/lib/pkgconfig/libspng.pc"
  local spng_version
  spng_version=${version[libspng]#*:}
  cat >"$prefix/lib/pkgconfig/spng.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: spng
Description: PNG decoding and encoding library
Version: ${spng_version%-*}
Requires: $requires
Libs: -L\${libdir} -lspng_static
Cflags: -I\${includedir} -DSPNG_STATIC
EOF
}

build_libjpeg-turbo() {
  # The SIMD code is off: it needs NASM for Windows and has no WebAssembly version.
  cmake -S . -B build "${cmake_common[@]}" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF >/dev/null
  cmake --build build -j $jobs >/dev/null
  cmake --install build >/dev/null
}

build_libsodium() {
  autoreconf -fi >/dev/null 2>&1
  if [ "$target" = mingw ]; then
    ./configure --host=$host --prefix="$prefix" --disable-shared --enable-static >/dev/null
  else
    # As libsodium's own Emscripten build configures it: no assembly, no threads, no stack
    # protector, no position-independent code.
    emconfigure ./configure --disable-shared --prefix="$prefix" --without-pthreads \
      --disable-ssp --disable-asm --disable-pie CFLAGS=-Os >/dev/null
  fi
  make -j$jobs >/dev/null
  make install >/dev/null
  # A static library needs SODIUM_STATIC in the code that includes its header.
  sed -i -e 's/^Cflags: .*/& -DSODIUM_STATIC/' "$prefix/lib/pkgconfig/libsodium.pc"
}

build_utf8proc() {
  cmake -S . -B build "${cmake_common[@]}" -DUTF8PROC_INSTALL=ON >/dev/null
  cmake --build build -j $jobs >/dev/null
  cmake --install build >/dev/null
  # Upstream's pkg-config file names the macro that builds the library, not the one a static
  # library's users need.
  sed -i -e 's/-DUTF8PROC_EXPORTS/-DUTF8PROC_STATIC/' "$prefix/lib/pkgconfig/libutf8proc.pc"
}

build_libwebp() {
  # The library alone: no tools, no animation or mux libraries, no GIF, PNG or JPEG readers
  # (which would look for the build machine's libraries). The SIMD code is off as libjpeg-turbo's,
  # and so are threads in the browser, which has none.
  local threads=ON
  [ "$target" = wasm ] && threads=OFF
  cmake -S . -B build "${cmake_common[@]}" -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF \
    -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF \
    -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF \
    -DWEBP_BUILD_EXTRAS=OFF -DWEBP_BUILD_WEBP_JS=OFF -DWEBP_ENABLE_SIMD=OFF \
    -DWEBP_USE_THREAD=$threads -DWEBP_NEAR_LOSSLESS=ON >/dev/null
  cmake --build build -j $jobs >/dev/null
  cmake --install build >/dev/null
}

# --- Driver -----------------------------------------------------------------------------------

declare -A compiler_package=([mingw]=gcc-mingw-w64-x86-64-posix [wasm]=emscripten [native]=gcc)

# What a library's stamp records: its version, its recipe, the target's compiler and the stamps
# of what it links against, so that a change in any of them rebuilds it.
stamp_text() {
  local name=$1 dependency
  echo "${version[$name]}"
  declare -f "build_$name" | sha256sum
  dpkg-query -W -f='${Package} ${Version}\n' "${compiler_package[$target]}"
  for dependency in ${depends[$name]:-}; do
    cat "$stamps/$dependency" 2>/dev/null
  done
  # libspng's ISA-L adapter: its source and the ISA-L it is built against.
  if [ "$name" = libspng ] && [ "$target" != wasm ]; then
    cat "$root/kit/png_inflate_isal.h" "$root/kit/png_inflate_isal.c" | sha256sum
    pkg-config --modversion libisal 2>/dev/null || echo "no ISA-L"
  fi
}

# Adds the libraries a requested one links against, in build order.
requested=()
for name in "${libraries[@]}"; do
  for wanted_name in "${wanted[@]}"; do
    if [ "$wanted_name" = "$name" ] || [[ " ${depends[$wanted_name]:-} " == *" $name "* ]]; then
      requested+=("$name")
      break
    fi
  done
done

# A rerun with everything present only compares the stamps.
tools_checked=no
built=0
all_started=$SECONDS
for name in "${requested[@]}"; do
  expected=$(stamp_text "$name")
  if [ -f "$stamps/$name" ] && [ "$(cat "$stamps/$name")" = "$expected" ]; then
    continue
  fi
  if [ $tools_checked = no ]; then
    need_tools
    tools_checked=yes
  fi
  started=$SECONDS
  download "$name"
  source_dir=$(unpack "$name")
  log=$work/$name.log
  mkdir -p "$stamps" "$prefix/lib/pkgconfig"
  rm -f "$stamps/$name"
  # The recipe runs as a plain command, so that set -e stops it at its first failing step
  # (inside an if or after || it would not); the trap reports what failed.
  failing="$name ${version[$name]} for $target"
  trap 'tail -n 30 "$log" >&2; echo "$failing: FAILED (the whole log: $log)" >&2' EXIT
  (cd "$source_dir" && "build_$name") >"$log" 2>&1
  trap - EXIT
  echo "$expected" >"$stamps/$name"
  rm -rf "$source_dir"
  echo "$name ${version[$name]} for $target: built in $((SECONDS - started)) s"
  built=$((built + 1))
done
if [ $built -gt 1 ]; then
  echo "$built libraries for $target built in $((SECONDS - all_started)) s"
fi

[ $check = yes ] || exit 0

# Builds scripts/third-party-check.c against every library installed, with the lookups the
# project's build uses (cmake/third-party-check), and runs it: under Wine for Windows, under
# Node.js for the web.
check_dir=$top/check-$target
rm -rf "$check_dir"
installed=()
for name in "${libraries[@]}"; do
  [ -f "$stamps/$name" ] && installed+=("$name")
done
list=$(IFS=';'; echo "${installed[*]}")
cmake -S "$root/cmake/third-party-check" -B "$check_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  "${cmake_target[@]}" "-DTHIRD_PARTY_LIBRARIES=$list" >"$check_dir.log" 2>&1 ||
  { cat "$check_dir.log" >&2; exit 1; }
cmake --build "$check_dir" >>"$check_dir.log" 2>&1 || { cat "$check_dir.log" >&2; exit 1; }
status=0
if [ "$target" = mingw ]; then
  source "$root/scripts/packages.sh"
  ensure_packages --with-recommends "${windows_packages[@]}"
  # Wine's services keep the first program's output open after it ends: the output goes to a
  # file, never to a pipe.
  "$root/scripts/wine-run.sh" "$check_dir/third_party_check.exe" >"$check_dir/output.txt" 2>&1 ||
    status=$?
else
  node "$check_dir/third_party_check.js" >"$check_dir/output.txt" 2>&1 || status=$?
fi
tr -d '\r' <"$check_dir/output.txt"
if [ $status -ne 0 ]; then
  echo "check for $target: FAILED (exit code $status)" >&2
  exit 1
fi
echo "check for $target: ${#installed[@]} libraries work"
