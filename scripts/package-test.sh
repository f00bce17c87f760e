#!/usr/bin/env bash
# Builds the Debian package from a stripped Release build and tries it out:
#   - lintian (when installed), with the tags we accept listed below;
#   - unpacks it into a scratch root (dpkg -x) and checks the layout: one
#     application folder /opt/mailvane, links on the PATH, desktop files;
#   - starts the unpacked mailvane offscreen through a link like its /usr/bin
#     one and checks it stays up, then stops it;
#   - converts every installed sample with the unpacked quorvex and reads each
#     .eml back with Python's email package.
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

if command -v lintian > /dev/null; then
  step "lintian"
  # Accepted, on purpose:
  #   dir-or-file-in-opt: the application folder is /opt/mailvane, so the files
  #     the window reads beside its program stay beside it.
  #   initial-upload-closes-no-bugs: asks for the Debian archive's "intent to
  #     package" bug; this package is not uploaded there.
  lintian --fail-on error,warning --suppress-tags dir-or-file-in-opt,initial-upload-closes-no-bugs "$deb" ||
    fail "lintian found errors or warnings"
else
  echo "lintian is not installed: package not linted (apt-get install lintian)"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
step "Unpack into $root"
dpkg -x "$deb" "$root/fs"
app="$root/fs/opt/mailvane"
for f in mailvane quorvex mailvane-convert HAND-M.CUR drag.ico mailvane.png mailvane.svg skins/example-o.cjs \
  ../../usr/share/applications/example.mailvane.Mailvane.desktop \
  ../../usr/share/metainfo/example.mailvane.Mailvane.metainfo.xml \
  ../../usr/share/icons/hicolor/scalable/apps/mailvane.svg \
  ../../usr/share/icons/hicolor/48x48/apps/mailvane.png \
  ../../usr/share/icons/hicolor/256x256/apps/mailvane.png; do
  [ -f "$app/$f" ] || fail "missing in the package: $f"
done
[ ! -e "$app/x" ] || fail "the package must not ship x/: it would reskin every window"
samples=("$app"/Samples/*.msg)
[ -f "${samples[0]}" ] || fail "no sample messages in Samples/"
# The links name /opt/mailvane on the installed system; here a link of the
# same shape into the scratch root stands in for each.
mkdir -p "$root/bin"
for program in mailvane quorvex mailvane-convert; do
  [ "$(readlink "$root/fs/usr/bin/$program")" = "/opt/mailvane/$program" ] ||
    fail "/usr/bin/$program does not lead to /opt/mailvane/$program"
  ln -s "$app/$program" "$root/bin/$program"
  file -L "$app/$program" | grep -q ", stripped" || fail "$program is not stripped"
done

step "Start the unpacked mailvane offscreen through a link"
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
check_window "$root/bin/mailvane"

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
convert_samples "$root/bin/quorvex" "$root/out"

step "Convert the installed samples with the unpacked mailvane-convert"
"$root/bin/mailvane-convert" --quiet --flat "$app/Samples" "$root/out-convert" ||
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
  samples=(/opt/mailvane/Samples/*.msg)
  check_window /usr/bin/mailvane
  convert_samples /usr/bin/quorvex "$root/out-system"
  step "apt purge"
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq mailvane > /dev/null
  left=0
  while read -r path; do
    # Folders shared with other packages (/usr, /usr/share/...) stay, of course.
    if [ -e "$path" ] && { [ ! -d "$path" ] || [ "$path" = /opt/mailvane ] || [[ "$path" == /opt/mailvane/* ]]; }; then
      echo "left behind: $path"
      left=1
    fi
  done < "$root/files"
  [ ! -e /opt/mailvane ] || { find /opt/mailvane; left=1; }
  [ "$left" = 0 ] || fail "files left after purge"
  echo "purged; nothing left"
fi

step "PASS in $(($(date +%s) - start)) s"
