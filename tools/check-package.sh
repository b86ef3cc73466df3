#!/usr/bin/env bash
# The Debian package of a finished build (default build/): cpack builds it, lintian finds no
# error and no warning in it, it holds the files an installation needs (the simulator off the
# PATH, manual pages, copyright and changelog), its program runs from a throw-away root, and its
# install step grants port 1000 where setcap exists and still succeeds where it does not.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

fail() {
  echo "package check: $*" >&2
  exit 1
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
release=$(sed -n 's/^TESSARO_PACKAGE_RELEASE:STRING=//p' "$build/CMakeCache.txt")
rm -f "$build"/tessaro_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; fail "cpack -G DEB failed"; }
deb=$(ls "$build"/tessaro_"$version-$release"_*.deb)

# Errors and warnings fail; what lintian only mentions (info, pedantic) does not. The package
# carries its overrides, each with its reason (tools/package/lintian-overrides).
lintian_out=$(lintian --fail-on error,warning "$deb" 2>&1) \
  || { echo "$lintian_out" >&2; fail "lintian finds errors or warnings in $deb"; }

listing=$(dpkg -c "$deb")
expected=(usr/bin/tessaro usr/bin/tessaro-coord usr/lib/tessaro/tessaro-rxsim usr/share/applications/tessaro.desktop
  usr/share/man/man1/tessaro.1.gz usr/share/man/man1/tessaro-rxsim.1.gz usr/share/man/man1/tessaro-coord.1.gz usr/share/doc/tessaro/copyright
  usr/share/doc/tessaro/changelog.Debian.gz usr/share/doc/tessaro/README.md usr/share/lintian/overrides/tessaro)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/tessaro.png")
done
for path in "${expected[@]}"; do
  grep -q " \./$path\$" <<<"$listing" || fail "$path is not in $deb"
done
! grep -q " \./usr/bin/tessaro-rxsim\$" <<<"$listing" || fail "the simulator is on every user's PATH"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "no library dependencies (shlibdeps) in $deb"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
dpkg-deb -e "$deb" "$root/DEBIAN"
out=$("$root/usr/bin/tessaro" --version) || fail "the packaged tessaro --version failed"
[ "$out" = "Tessaro $version" ] || fail "the packaged tessaro printed '$out'"
grep -qx 'Name\[zh_CN\]=无线麦克风管理软件' "$root/usr/share/applications/tessaro.desktop" \
  || fail "the desktop entry has no Chinese name"

# The install step, as dpkg runs it for another root; without setcap on the PATH it must pass too.
DPKG_ROOT=$root PATH=/nonexistent /bin/sh "$root/DEBIAN/postinst" configure 2>/dev/null \
  || fail "postinst fails where setcap is missing"
# Run as an unprivileged user with the capability granted, the program binds port 1000 (inside a
# network namespace of its own) and then holds no capability: CapEff and CapPrm of the running
# process are all zero once its window is up.
check_capability_dropped() {
  local home pid status="" dropped=""
  chmod 755 "$root"
  home=$(mktemp -d)
  chown nobody "$home"
  # unshare and setpriv exec in turn: $! ends up being tessaro itself.
  unshare -n setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all \
    env QT_QPA_PLATFORM=offscreen HOME="$home" "$root/usr/bin/tessaro" --config-dir "$home/cfg" >"$home/out" 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    status=$(grep -E '^Cap(Eff|Prm):' "/proc/$pid/status" 2>/dev/null) || break
    if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = tessaro ] \
      && [ "$(grep -c ':[[:space:]]*0000000000000000$' <<<"$status")" -eq 2 ]; then
      sleep 1 # still running a second later: it did not refuse to start
      kill -0 "$pid" 2>/dev/null && dropped=yes
      break
    fi
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  [ -n "$dropped" ] || { cat "$home/out" >&2; rm -rf "$home"; fail "tessaro run as nobody kept capabilities or did not start: $(tr '\n' ' ' <<<"$status")"; }
  rm -rf "$home"
}

if [ "$(id -u)" -eq 0 ] && command -v setcap >/dev/null; then
  DPKG_ROOT=$root "$root/DEBIAN/postinst" configure || fail "postinst failed"
  getcap "$root/usr/bin/tessaro" | grep -q cap_net_bind_service || fail "postinst did not grant port 1000"
  check_capability_dropped
fi
echo "package check: $(basename "$deb") builds, lists its files and runs from a throw-away root"
