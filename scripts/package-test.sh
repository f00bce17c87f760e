#!/usr/bin/env bash
# Builds the Debian package from a stripped Release build and tries it out:
#   - lintian, with the one tag we accept named below;
#   - unpacks it into a scratch root (dpkg -x) and checks the layout: one
#     application folder /usr/lib/mailvane, links on the PATH, desktop files;
#   - starts the unpacked mailvane offscreen through its /usr/bin link and
#     checks it stays up, then stops it;
#   - converts every installed sample with the unpacked quorvex and reads each
#     .eml back with Python's email package;
#   - in a scratch dpkg database, upgrades a package of the old layout
#     (/opt/mailvane, with a skin the administrator added) to this one and
#     checks that no /opt/mailvane is left and the skin moved along.
# With --system (as root) it also installs the package with apt, runs both
# programs from /usr/bin, purges it and checks that no file of it is left.
#
#   bash scripts/package-test.sh [--system]
# Build folder: build/package. The .deb is left there.
set -euo pipefail
cd "$(dirname "$0")/.."

system=0
[ "${1:-}" = "--system" ] && system=1
start=$(date +%s)
build=build/package
jobs=${JOBS:-2}

step() { printf '\n== %s\n' "$*"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

step "Release build"
# Debian's usual hardening: checked libc calls, stack protector, read-only
# relocations bound at start-up.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_C_FLAGS="-D_FORTIFY_SOURCE=2 -fstack-protector-strong" \
  -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2 -fstack-protector-strong" \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro,-z,now" > /dev/null
cmake --build "$build" -j "$jobs"

step "Package"
rm -f "$build"/mailvane_*.deb
(cd "$build" && cpack -G DEB > /dev/null)
deb=$(ls "$build"/mailvane_*.deb)
echo "$deb"
dpkg-deb --field "$deb" Package Version Architecture Depends
dpkg-deb --field "$deb" Depends | grep -q libqt6widgets6 || fail "Depends does not name the Qt Widgets library"

step "lintian"
# Accepted, on purpose: initial-upload-closes-no-bugs asks for the Debian
# archive's "intent to package" bug; this package is not uploaded there.
command -v lintian > /dev/null || fail "lintian is missing (scripts/install-deps.sh installs it)"
lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$deb" ||
  fail "lintian found errors or warnings"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
step "Unpack into $root"
dpkg -x "$deb" "$root/fs"
app="$root/fs/usr/lib/mailvane"
for f in mailvane quorvex mailvane-convert HAND-M.CUR drag.ico mailvane.png mailvane.svg skins/example-o.cjs \
  ../../share/applications/example.mailvane.Mailvane.desktop \
  ../../share/metainfo/example.mailvane.Mailvane.metainfo.xml \
  ../../share/icons/hicolor/scalable/apps/mailvane.svg \
  ../../share/icons/hicolor/48x48/apps/mailvane.png \
  ../../share/icons/hicolor/256x256/apps/mailvane.png; do
  [ -f "$app/$f" ] || fail "missing in the package: $f"
done
[ ! -e "$app/x" ] || fail "the package must not ship x/: it would reskin every window"
samples=("$app"/Samples/*.msg)
[ -f "${samples[0]}" ] || fail "no sample messages in Samples/"
# Relative links, so they lead into the scratch root as on the installed system.
for program in mailvane quorvex mailvane-convert; do
  [ "$(readlink "$root/fs/usr/bin/$program")" = "../lib/mailvane/$program" ] ||
    fail "/usr/bin/$program does not lead to /usr/lib/mailvane/$program"
  file -L "$app/$program" | grep -q ", stripped" || fail "$program is not stripped"
done
[ ! -e "$root/fs/opt" ] || fail "the package still puts files into /opt"

step "Start the unpacked mailvane offscreen through its /usr/bin link"
# A settings folder of its own, so the user's stay untouched.
export XDG_CONFIG_HOME="$root/config" HOME="$root/home"
mkdir -p "$XDG_CONFIG_HOME" "$HOME/Desktop"
check_window() {
  QT_QPA_PLATFORM=offscreen timeout 20 "$1" > "$root/window.log" 2>&1 &
  local pid=$!
  sleep 3
  kill -0 "$pid" 2> /dev/null || { cat "$root/window.log"; fail "$1 exited at start-up"; }
  kill "$pid"
  wait "$pid" 2> /dev/null || true
  echo "$1 started and stayed up"
}
check_window "$root/fs/usr/bin/mailvane"

convert_samples() {
  local quorvex=$1 out=$2
  mkdir -p "$out"
  for msg in "${samples[@]}"; do
    local line
    line=$("$quorvex" "$msg" "$out/")
    [ -z "$line" ] || fail "$(basename "$msg"): $line"
  done
  python3 - "$out" "${#samples[@]}" << 'PY'
import email, email.policy, pathlib, sys
out, wanted = pathlib.Path(sys.argv[1]), int(sys.argv[2])
files = sorted(out.glob("*.eml"))
assert len(files) == wanted, f"{len(files)} .eml files for {wanted} samples"
for path in files:
    message = email.message_from_bytes(path.read_bytes(), policy=email.policy.default)
    assert message["From"] and message["Subject"] is not None, f"{path.name}: no From or Subject"
    defects = list(message.defects) + [d for part in message.walk() for d in part.defects]
    assert not defects, f"{path.name}: {defects}"
    print(f"  {path.name}: From {message['From']}, Subject {message['Subject']!r}, "
          f"{sum(1 for _ in message.walk())} parts")
PY
}
step "Convert the installed samples with the unpacked quorvex"
convert_samples "$root/fs/usr/bin/quorvex" "$root/out"

step "Upgrade from the /opt/mailvane layout in a scratch dpkg database"
# The old package: this one's files in the old place, with absolute links.
old="$root/old"
mkdir -p "$old/DEBIAN" "$old/opt" "$old/usr/bin"
cp -a "$app" "$old/opt/mailvane"
for program in mailvane quorvex mailvane-convert; do ln -s "/opt/mailvane/$program" "$old/usr/bin/$program"; done
printf '%s\n' "Package: mailvane" "Version: 0.1.0-1" "Architecture: amd64" \
  "Maintainer: Velmora <support@velmora.example>" "Description: the /opt/mailvane layout" > "$old/DEBIAN/control"
dpkg-deb --root-owner-group --build "$old" "$root/old.deb" > /dev/null
# Maintainer scripts run outside the scratch root, which they find in DPKG_ROOT.
dpkg_root="$root/dpkg-root"
mkdir -p "$dpkg_root/var/lib/dpkg/info" "$dpkg_root/var/lib/dpkg/updates"
touch "$dpkg_root/var/lib/dpkg/status"
scratch_dpkg() {
  dpkg --root="$dpkg_root" --force-script-chrootless --force-depends --force-not-root "$@" > "$root/dpkg.log" 2>&1 ||
    { cat "$root/dpkg.log"; fail "dpkg $*"; }
}
scratch_dpkg -i "$root/old.deb"
mkdir -p "$dpkg_root/opt/mailvane/x"
cp "$dpkg_root/opt/mailvane/skins/example-o.cjs" "$dpkg_root/opt/mailvane/x/o.cjs"
scratch_dpkg -i "$deb"
[ ! -e "$dpkg_root/opt/mailvane" ] || { find "$dpkg_root/opt/mailvane"; fail "the upgrade left /opt/mailvane"; }
[ -f "$dpkg_root/usr/lib/mailvane/x/o.cjs" ] || fail "the skin in /opt/mailvane/x did not move to /usr/lib/mailvane/x"
[ -x "$dpkg_root/usr/bin/mailvane" ] || fail "/usr/bin/mailvane leads nowhere after the upgrade"
echo "upgraded: no /opt/mailvane left, the skin moved to /usr/lib/mailvane/x"

step "Convert the installed samples with the unpacked mailvane-convert"
"$root/fs/usr/bin/mailvane-convert" --quiet --flat "$app/Samples" "$root/out-convert" ||
  fail "mailvane-convert failed on the samples"
[ "$(find "$root/out-convert" -name '*.eml' | wc -l)" -eq "${#samples[@]}" ] ||
  fail "mailvane-convert did not convert every sample"

if [ "$system" = 1 ]; then
  [ "$(id -u)" -eq 0 ] || fail "--system needs root"
  step "apt install"
  dpkg-query -W mailvane > /dev/null 2>&1 && fail "mailvane is already installed here; remove it first"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" > /dev/null
  dpkg -L mailvane > "$root/files"
  echo "$(wc -l < "$root/files") paths installed"
  samples=(/usr/lib/mailvane/Samples/*.msg)
  check_window /usr/bin/mailvane
  convert_samples /usr/bin/quorvex "$root/out-system"
  step "apt purge"
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq mailvane > /dev/null
  left=0
  while read -r path; do
    # Folders shared with other packages (/usr, /usr/share/...) stay, of course.
    if [ -e "$path" ] && { [ ! -d "$path" ] || [ "$path" = /usr/lib/mailvane ] || [[ "$path" == /usr/lib/mailvane/* ]]; }; then
      echo "left behind: $path"
      left=1
    fi
  done < "$root/files"
  [ ! -e /usr/lib/mailvane ] || { find /usr/lib/mailvane; left=1; }
  [ "$left" = 0 ] || fail "files left after purge"
  echo "purged; nothing left"
fi

step "PASS in $(($(date +%s) - start)) s"
