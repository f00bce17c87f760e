#!/usr/bin/env bash
# Mailvane.exe under Wine and Xvfb, tried as a new Windows user would:
#   1. from a folder holding only Mailvane.exe and Samples\: the first start
#      (window size, caption, the settings it writes), "Load Sample/Example Files"
#      then "Start Converting" (one .eml per sample), a second start that
#      restores the settings; screenshots of the first start and of the run;
#      a start in a profile whose Desktop points nowhere (no box, the profile
#      folder offered);
#   2. the installer the msi target made: installed silently, the program its
#      Start-menu shortcut points to started as a user would, with the samples
#      loaded from Program Files and the results written under Documents
#      (README's screenshots), uninstalled, and what is left.
#
#   bash scripts/windows-window-test.sh     (after the windows preset and its msi
#                                             target are built: scripts/windows-package.sh)
#
# Screenshots go to build/windows/shots/ (SHOTS_DIR overrides).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/windows
bin="$build/bin"
version=$(sed -n 's/^project(Mailvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
msi="$build/mailvane-${version}-x64.msi"
shots="${SHOTS_DIR:-$build/shots}"
check="$build/window-check"
fail() { echo "FAIL: $*" >&2; exit 1; }
winpath() { echo "Z:$(realpath "$1" | tr / '\\')"; }

for f in Mailvane.exe ui_driver.exe Quorvex.exe mailvane-convert.exe HAND-M.CUR drag.ico; do
  [ -f "$bin/$f" ] || fail "$bin/$f is missing; build the windows preset first"
done
[ -f "$msi" ] || fail "$msi is missing; build it first: cmake --build --preset windows --target msi"
headers=$(x86_64-w64-mingw32-objdump -p "$bin/Mailvane.exe")
if grep 'DLL Name' <<< "$headers" |
   grep -viE 'kernel32|msvcrt|user32|gdi32|comctl32|comdlg32|shell32|ole32|advapi32|bcrypt|shlwapi'; then
  fail "Mailvane.exe needs a DLL that Windows does not ship"
fi
grep -q 'Subsystem.*Windows GUI' <<< "$headers" || fail "Mailvane.exe is not a Windows GUI program"

# A display of its own, and a Wine prefix made in full before the first start
# (the shell's dialogs list nothing in a prefix that a program's start made).
display=""
for n in $(seq 90 120); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || fail "no free X display number"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$PWD/$build/wineprefix-window"
cleanup() {
  wineserver -k 2> /dev/null || true
  kill "$xvfb_pid" 2> /dev/null || true
}
trap cleanup EXIT
sleep 1
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "making the Wine prefix (wineboot -i)"
  wineboot -i > /dev/null 2>&1
  wineserver -w
fi
wineserver -p
wine cmd /c exit < /dev/null > /dev/null 2>&1
# Windows has Arial; Wine here draws it with the metric-compatible Liberation Sans.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Liberation Sans' /f > /dev/null
# Smoothed text, as Windows draws it by default.
wine reg add 'HKCU\Control Panel\Desktop' /v FontSmoothing /d 2 /f > /dev/null
wine reg add 'HKCU\Control Panel\Desktop' /v FontSmoothingType /t REG_DWORD /d 1 /f > /dev/null

driver="$bin/ui_driver.exe"
drive() { wine "$driver" "$@" < /dev/null | tr -d '\r'; }
key='HKCU\Software\VB and VBA Program Settings\Velmora\Mailvane'
setting() { wine reg query "$key" /v "$1" 2> /dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"; }
shot() {
  local xid
  xid=$(xdotool search --onlyvisible --name '^Mailvane$' | head -1)
  import -window "$xid" "$1"
  echo "screenshot $1 ($(identify -format '%wx%h' "$1"))"
}
# Load Sample/Example Files, Start Converting, the boxes answered; a screenshot
# of the window after the run; one .eml per sample in the output folder $1.
convert_samples() {
  drive click 107                  # Load Sample/Example Files
  drive answer no 30 || fail "no question after loading the samples"
  drive click 102                  # Start Converting
  for _ in $(seq 1 20); do
    drive answer ok 30 || break
    [ "$(ls "$1" | grep -c '\.eml$')" -ge "$samples" ] && break
  done
  echo "progress bar: $(drive text 601)"
  shot "$2"
  converted=$(ls "$1" | grep -c '\.eml$' || true)
  echo "$converted .eml files for $samples samples"
  [ "$converted" -eq "$samples" ] || fail "expected one .eml per sample"
}
start_form() {
  (cd "$1" && exec wine Mailvane.exe < /dev/null > /dev/null 2>&1) &
  form_pid=$!
  drive wait 60 || fail "the window did not open"
}
close_form() {
  drive close
  wait "$form_pid" 2> /dev/null || true
}

mkdir -p "$shots"
rm -rf "$check"
mkdir -p "$check/app" "$check/out"
cp "$bin/Mailvane.exe" "$check/app/"
cp -r "$bin/Samples" "$check/app/"
samples=$(ls "$check/app/Samples/"*.msg | wc -l)

echo "=== Mailvane.exe alone beside Samples\\: first start"
wine reg delete "$key" /f > /dev/null 2>&1 || true
start_form "$check/app"
shot "$shots/windows-portable-first-start.png"
echo "Text1 shows: $(drive text 501)"
echo "stored Text1 after the first start: $(setting Text1)"
[ -n "$(setting Text1)" ] || fail "the first start stored no Text1"
close_form

echo "=== second start with the output folder stored: load the samples and convert"
wine reg add "$key" /v Text1 /d "$(winpath "$check/out")\\" /f > /dev/null
start_form "$check/app"
restored=$(drive text 501)
echo "Text1 restored: $restored"
[ "$restored" = "$(winpath "$check/out")\\" ] || fail "the stored output folder was not restored"
convert_samples "$check/out" "$shots/windows-portable-after-run.png"

echo "=== the shell's dialogs"
before=$(drive items)
drive click 101                  # Add MSG File(s): the file-open dialog, a typed path and Return
drive fill "$(winpath "$check/app/Samples/Plain text.msg")" 30 || fail "the file-open dialog did not answer"
[ "$(drive items)" -eq $((before + 1)) ] || fail "the file chosen in the dialog was not added"
echo "the file-open dialog added one file: $(drive items) rows"
drive click 104                  # Add All MSG File(s) In Folder: the input box, then the folder dialog
drive fill msg 30 || fail "no input box for the extension"
drive answer cancel 30 || fail "no folder dialog"
close_form
echo "stored: Text1=$(setting Text1) Option1=$(setting Option1) Option2=$(setting Option2)"

echo "=== a start restores the stored options, with the example skin beside the program"
wine reg add "$key" /v Option1 /d False /f > /dev/null
wine reg add "$key" /v Option2 /d True /f > /dev/null
mkdir -p "$check/app/x"
cp packaging/skins/example-o.cjs "$check/app/x/o.cjs"
start_form "$check/app"
[ "$(drive checked 402)" = 1 ] && [ "$(drive checked 401)" = 0 ] || fail "Option2 was not restored"
echo "Option2 restored as selected"
shot "$shots/windows-skin.png"
background=$(/usr/bin/convert "$shots/windows-skin.png" -format '%[hex:p{3,3}]' info:)
echo "window background with the skin: #$background"
[ "${background:0:6}" = EEF3F9 ] || fail "the skin's background colour was not applied"
close_form
rm -r "$check/app/x"
wine reg add "$key" /v Option1 /d True /f > /dev/null
wine reg add "$key" /v Option2 /d False /f > /dev/null

echo "=== a profile whose Desktop points nowhere: no box, Text1 is the profile folder"
# A Desktop redirected to a folder that is gone (a share that is offline): the
# shell's lookup of the desktop fails, and the first start offers the profile.
shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
saved_desktop=$(wine reg query "$shell_folders" /v Desktop < /dev/null 2> /dev/null | tr -d '\r' |
                sed -n 's/^ *Desktop *REG_EXPAND_SZ *//p')
profile=$(wine cmd /c echo %USERPROFILE% < /dev/null 2> /dev/null | tr -d '\r')
desktop_link="$WINEPREFIX/drive_c/users/$(wine cmd /c echo %USERNAME% < /dev/null 2> /dev/null | tr -d '\r')/Desktop"
moved_desktop=""
if [ -e "$desktop_link" ] || [ -L "$desktop_link" ]; then
  moved_desktop="$desktop_link.window-check"
  rm -rf "$moved_desktop"
  mv "$desktop_link" "$moved_desktop"
fi
ln -s "$check/no-such-desktop" "$desktop_link"
wine reg add "$shell_folders" /v Desktop /t REG_EXPAND_SZ /d '%USERPROFILE%\Desktop' /f > /dev/null
wine reg delete "$key" /f > /dev/null 2>&1 || true
(cd "$check/app" && exec wine Mailvane.exe < /dev/null > /dev/null 2>&1) &
form_pid=$!
# Start-up's boxes come before the window shows, which they hold back.
if ! drive wait 60 > /dev/null; then fail "the window did not open: $(drive answer ok 5)"; fi
if drive answer ok 2; then fail "a box came with the window"; fi
no_desktop_text=$(drive text 501)
close_form
rm "$desktop_link"
[ -z "$moved_desktop" ] || mv "$moved_desktop" "$desktop_link"
[ -z "$saved_desktop" ] || wine reg add "$shell_folders" /v Desktop /t REG_EXPAND_SZ /d "$saved_desktop" /f > /dev/null
wine reg delete "$key" /f > /dev/null 2>&1 || true
echo "Text1 without a desktop: $no_desktop_text"
[ "$no_desktop_text" = "$profile\\" ] || fail "Text1 is not the profile folder $profile\\"

echo "=== the installer"
echo "installing $msi ($(du -k "$msi" | cut -f1) KB)"
installed="$WINEPREFIX/drive_c/Program Files/Mailvane"
# The product code of the installed Mailvane, from the installed programs.
installed_code() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s < /dev/null | tr -d '\r' |
    awk '/^HKEY.*\\\{/ { key = $0; sub(/.*\\/, "", key) } /DisplayName +REG_SZ +Mailvane$/ { print key; exit }'
}
# Left from an earlier run in this prefix.
leftover=$(installed_code)
[ -z "$leftover" ] || wine msiexec /x "$leftover" /qn < /dev/null
wine msiexec /i "$(winpath "$msi")" /qn < /dev/null
echo "installed: $(cd "$installed" && find . -type f | sort | tr '\n' ' ')"
for f in Mailvane.exe Quorvex.exe mailvane-convert.exe HAND-M.CUR drag.ico; do [ -f "$installed/$f" ] || fail "$f not installed"; done
[ "$(ls "$installed/Samples" | wc -l)" -eq "$samples" ] || fail "Samples not installed"
shortcut=$(find "$WINEPREFIX/drive_c" -name 'Mailvane.lnk' | head -1)
[ -n "$shortcut" ] || fail "no Start-menu shortcut"
echo "shortcut: ${shortcut#"$WINEPREFIX/"}"
[ -n "$(installed_code)" ] || fail "no entry among the installed programs"
echo "installed programs: Mailvane $version, $(installed_code)"
start_installed() {
  (wine start /wait /unix "$shortcut" < /dev/null > /dev/null 2>&1 &)
  drive wait 60 || fail "the shortcut's program did not open"
}

echo "=== the installed program from its shortcut, as a user meets it (README's screenshots)"
wine reg delete "$key" /f > /dev/null 2>&1 || true
start_installed
shot "$shots/windows-first-start.png"
echo "Text1 at the first start: $(drive text 501)"
close_form
# The results go to a folder under the user's Documents, the output folder the
# user chose last time; the samples come from the installed Samples folder.
documents_win=$(wine cmd /c 'echo %USERPROFILE%\Documents' < /dev/null 2> /dev/null | tr -d '\r')
results_win="$documents_win\Converted mail"
results=$(winepath -u "$results_win" 2> /dev/null)
[ -n "$results" ] || fail "no Unix path for $results_win"
rm -rf "$results"
mkdir -p "$results"
wine reg add "$key" /v Text1 /d "$results_win\\" /f > /dev/null
start_installed
echo "Text1: $(drive text 501)"
convert_samples "$results" "$shots/windows-after-run.png"
close_form
rm -rf "$results"
# As the installed-programs entry uninstalls it: by its product code.
wine msiexec /x "$(installed_code)" /qn < /dev/null
[ ! -e "$installed" ] || fail "left after uninstalling: $(ls "$installed")"
[ -z "$(find "$WINEPREFIX/drive_c" -name 'Mailvane.lnk')" ] || fail "the shortcut is left"
[ -n "$(setting Text1)" ] || fail "uninstalling removed the user's settings"
echo "uninstalled: no program folder, no shortcut; the user's settings stay (Text1=$(setting Text1))"
