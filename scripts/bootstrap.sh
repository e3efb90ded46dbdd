#!/usr/bin/env bash
# Installs the OS packages that the build and the tests need, only those missing.
#
# The 32-bit product runs under Debian's 32-bit Wine started by the qemu-i386
# user-mode emulator, because this kind of machine's kernel runs no 32-bit
# code. That needs the i386 architecture, wine32:i386, and qemu-user of
# version 8 or newer (bookworm's 7.2 spends about a minute starting each Wine
# process), which bookworm has in its backports suite. The emulator is run by
# name (scripts/wine-common.sh): its recommended qemu-user-binfmt, which would
# register it with binfmt_misc, is left out, and so is qemu-user-static, which
# from version 9.1 on only pulls in both.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
  googletest libgtest-dev libbenchmark-dev libpcre2-dev libre2-dev
  wine64 wine32:i386 xvfb xauth x11-apps imagemagick fonts-noto-cjk
  zip unzip python3
)
# Oldest qemu-i386 that starts a Wine process in about a second.
min_qemu_major=8
qemu=/usr/bin/qemu-i386

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

qemu_is_recent() {
  local version
  version=$("$qemu" --version 2>/dev/null | sed -n 's/.*version \([0-9]*\)\..*/\1/p' | head -1)
  [ -n "$version" ] && [ "$version" -ge "$min_qemu_major" ]
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1
need_qemu=0
qemu_is_recent || need_qemu=1

if [ ${#missing[@]} -eq 0 ] && [ $need_i386 -eq 0 ] && [ $need_qemu -eq 0 ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
# Another apt may hold the locks: apt-get install waits for dpkg's lock
# itself; the package lists' lock and dpkg's own commands are retried.
apt_wait=(-o DPkg::Lock::Timeout=600)
retried() {
  local try
  for try in 1 2 3 4 5 6 7 8 9 10; do
    "$@" && return 0
    echo "bootstrap: $* failed (try $try), retrying" >&2
    sleep 15
  done
  return 1
}

if [ $need_i386 -eq 1 ]; then
  echo "bootstrap: adding the i386 architecture"
  retried $SUDO dpkg --add-architecture i386
fi

if [ $need_qemu -eq 1 ]; then
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  backports=$codename-backports
  if [ -n "$codename" ] &&
     ! grep -rqsw -- "$backports" /etc/apt/sources.list /etc/apt/sources.list.d/; then
    # The backports suite from the same archive that serves the release.
    archive=$(apt-get indextargets --format '$(RELEASE) $(REPO_URI)' 2>/dev/null |
              awk -v r="$codename" '$1 == r { print $2; exit }')
    if [ -n "$archive" ]; then
      echo "bootstrap: adding the $backports suite"
      printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
        "$archive" "$backports" /usr/share/keyrings/debian-archive-keyring.gpg |
        $SUDO tee /etc/apt/sources.list.d/fromsel-backports.sources >/dev/null
    fi
  fi
fi

retried $SUDO apt-get "${apt_wait[@]}" update -qq
install_args=()
[ ${#missing[@]} -eq 0 ] || install_args+=("${missing[@]}")
if [ $need_qemu -eq 1 ]; then
  # From backports where that suite has it (bookworm); else the release's own.
  candidates=$(apt-cache madison qemu-user)
  if grep -q -- " $backports/" <<<"$candidates"; then
    install_args+=("qemu-user/$backports")
  else
    install_args+=(qemu-user)
  fi
fi
echo "bootstrap: installing ${install_args[*]}"
$SUDO apt-get "${apt_wait[@]}" install -y -qq --no-install-recommends "${install_args[@]}" \
  >/dev/null
if ! qemu_is_recent; then
  echo "bootstrap: $qemu is missing or older than version $min_qemu_major" >&2
  exit 1
fi
