# Sourced by the scripts in this folder: makes sure the Debian packages they need are present.
# As root, missing packages are installed with apt-get; otherwise they are named and the script
# stops.

# ensure_packages [--with-recommends] PACKAGE...
ensure_packages() {
  local recommends=--no-install-recommends
  if [ "${1:-}" = --with-recommends ]; then
    recommends=
    shift
  fi
  local missing=()
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing missing Debian packages: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # Other builds on the machine may be installing at the same moment: apt waits for their locks
  # (up to 10 minutes) rather than failing at once.
  local wait=(-o DPkg::Lock::Timeout=600)
  apt-get "${wait[@]}" update -qq
  apt-get "${wait[@]}" install -y -qq $recommends "${missing[@]}"
}

# libspng for this machine's builds of vorn, from Debian's source with the SIMD unfiltering that
# Debian's package leaves out (scripts/third-party.sh native; nothing is done once it is built).
# A build without it takes Debian's libspng instead, and reads PNG files more slowly.
ensure_native_libspng() {
  bash "$(dirname "${BASH_SOURCE[0]}")/third-party.sh" native libspng
}

# What building the programs needs: compiler, CMake and Ninja; vorn also needs libspng and
# libjpeg-turbo (and pkg-config to find libspng and libwebp), libwebp for the compact form's
# stored pictures, libsodium for the keyed and compact forms and utf8proc to normalise passwords;
# the engine compiles in stb_image_resize (header only) to fit hidden pictures. ISA-L (libisal)
# deflates and inflates PNG image data several times faster than zlib; without it, zlib does.
program_packages=(g++ cmake ninja-build pkg-config libspng-dev libjpeg62-turbo-dev libwebp-dev
                  libsodium-dev libutf8proc-dev libstb-dev libisal-dev)
# What the Python module needs besides: Python's headers and pybind11; pip to build and install
# it (pip install ., through the project's own build backend, which needs no other package) and
# venv to install it into a virtual environment; NumPy for pictures as arrays and Pillow for
# images as inputs (both optional for the module, used by its tests).
python_packages=(python3-dev python3-pybind11 python3-pip python3-venv python3-numpy python3-pil)
# What building and running the tests needs as well: GoogleTest, the Python module and pytest
# to run its tests.
build_packages=("${program_packages[@]}" "${python_packages[@]}" libgtest-dev python3-pytest)
# What making and checking the Debian packages needs: dpkg-shlibdeps and file (used by CPack to
# work out the packages' dependencies), man to render the manual pages, lintian to judge them.
package_packages=(dpkg-dev file man-db lintian)
# What the Windows build needs besides: the MinGW-w64 cross compiler (the posix thread model) and
# Wine to run its programs. Wine is installed with its recommended packages (fonts, libraries
# its first start may look for), the way it was proven to start headless here.
windows_packages=(g++-mingw-w64-x86-64-posix wine wine64)
# What building the web page needs: Emscripten (with its LLVM, Binaryen and Node.js) besides
# CMake and Ninja, and Python's static server to serve it.
web_packages=(cmake ninja-build emscripten python3 libstb-dev)
# What the browser tests need besides: Chromium, driven from Node.js by puppeteer-core, which npm
# installs from web/test/package-lock.json. npm comes with Node.js where Node.js is not Debian's.
web_test_packages=(chromium nodejs)
# What the quality measurement needs besides the programs' build: Debian's Python with NumPy,
# Pillow to read and write the pictures, Matplotlib for the plot, and scikit-image for its data
# set of photographs.
quality_packages=(python3-numpy python3-pil python3-matplotlib python3-skimage)
# What the steganalysis benchmark needs besides the programs' build: NumPy, Pillow and
# scikit-image's photographs, and steghide for the peer row.
steganalysis_packages=(python3-numpy python3-pil python3-skimage steghide)
# What building the Windows and web builds' libraries from Debian's source packages needs
# (scripts/third-party.sh): apt-get source and dpkg-source, make, CMake and Ninja, pkg-config,
# and Autoconf, Automake and Libtool, since libsodium's configure script is generated. Then the
# target's compiler.
third_party_packages=(dpkg-dev make cmake ninja-build pkg-config autoconf automake libtool)
third_party_mingw_packages=(g++-mingw-w64-x86-64-posix nasm yasm)
third_party_wasm_packages=(emscripten)
