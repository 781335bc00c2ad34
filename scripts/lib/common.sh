# Shared by the set-up scripts: installs what the project needs from Debian's packages and builds it.

VELLUMAR_PACKAGES=(
  build-essential cmake googletest libgtest-dev libgmock-dev
  libnvme-dev nlohmann-json3-dev
  qt6-base-dev libgl-dev libudev-dev qt6-translations-l10n
  util-linux e2fsprogs fdisk dosfstools btrfs-progs
  xvfb xauth x11-xserver-utils fonts-noto-cjk fonts-dejavu-core
  clang-format clang-tidy time clang libclang-rt-14-dev ccache
  nlohmann-json3-dev libcairo2-dev libpango1.0-dev nettle-dev pkgconf poppler-utils python3-jsonschema
  scdoc libcli11-dev bash-completion
  debhelper dpkg-dev fakeroot lintian pkexec ansible
)

# vellumar_run_as_root "$@": a script in scripts/ that needs root calls this right after it has
# changed to the top of the tree. As root it returns; as another user it runs the script again
# through sudo, so the same command works in a root shell without sudo and for a user with sudo.
vellumar_run_as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    return 0
  fi
  if ! command -v sudo >/dev/null 2>&1; then
    echo "$0 needs root, and sudo is not installed: run it from a root shell." >&2
    exit 1
  fi
  exec sudo -- "$PWD/scripts/$(basename "$0")" "$@"
}

vellumar_install_dependencies() {
  local missing=()
  local package
  for package in "${VELLUMAR_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}. Run this script with sudo to install them." >&2
    return 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# vellumar_build DIR [extra cmake arguments...]
# Compiles go through ccache where it is installed: a second run of the tests, in this clone or a
# fresh one elsewhere, compiles only what changed. Paths are hashed relative to the clone, so two
# clones share the cache.
# Call it outside a command substitution: it sets ccache's environment for the build too.
vellumar_use_ccache() {
  VELLUMAR_LAUNCHER=()
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
    VELLUMAR_LAUNCHER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
}

vellumar_build() {
  local dir=$1
  shift
  vellumar_use_ccache
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${VELLUMAR_LAUNCHER[@]}" "$@"
  cmake --build "$dir" -j"$(nproc)"
}
