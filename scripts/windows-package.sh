#!/usr/bin/env bash
# Builds the two downloads for Windows users: the portable
# build/windows/quorvex-<version>-windows-x64.zip (Mailvane.exe with its pointer
# files, Quorvex.exe, mailvane-convert.exe, README.txt, LICENSE.txt, the sample
# messages) and the installer build/windows/mailvane-<version>-x64.msi (the msi
# target). Then checks the zip: the contents and their line ends, and, unzipped,
# Quorvex.exe under Wine converts every sample into one new .eml and prints
# nothing, and mailvane-convert.exe converts the Samples folder in one run. The
# window, and the installer installed, are tried by scripts/windows-window-test.sh.
#
#   bash scripts/windows-package.sh        (after the windows preset is built)
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/windows
version=$(sed -n 's/^project(Mailvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name="quorvex-${version}-windows-x64"
zip="$build/$name.zip"
fail() { echo "FAIL: $*" >&2; exit 1; }

for f in Quorvex.exe mailvane-convert.exe Mailvane.exe HAND-M.CUR drag.ico; do
  [ -f "$build/bin/$f" ] || fail "$build/bin/$f is missing; build the windows preset first"
done
for program in Quorvex.exe mailvane-convert.exe; do
  if x86_64-w64-mingw32-objdump -p "$build/bin/$program" | grep 'DLL Name' | grep -viE 'kernel32|msvcrt|bcrypt|shell32'; then
    fail "$program needs a DLL that Windows does not ship"
  fi
done

# The zip, written by Python so that no zip program is needed; text files get
# Windows line ends.
python3 - "$zip" "$name" "$build/bin" packaging/debian/copyright "$version" <<'PY'
import os, sys, zipfile
zip_path, name, bin_dir, copyright_path, version = sys.argv[1:]

readme = f"""Mailvane {version} for Windows (64-bit)

Mailvane.exe is the window: double-click it, add .msg files (by the buttons, or
by dropping files and folders from Explorer onto the list), choose where the
results go, and press "Start Converting". It needs no installation: keep
HAND-M.CUR and drag.ico beside it for its pointers. Its choices are kept in the
registry under HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Velmora\\Mailvane.
The installer (mailvane-{version}-x64.msi) puts the same files into Program Files
with a Start-menu entry.

Windows may warn before the first start: the program is not signed. In the blue
"Windows protected your PC" box choose "More info", then "Run anyway".

Quorvex.exe, the converter the window uses, also works on its own. It converts an Outlook message file (.msg) into an Internet message
file (.eml) that any mail program, archive or e-discovery tool can read. It reads
the .msg file itself: Outlook does not need to be installed. It needs nothing
else: no installation, no runtime, no administrator rights.

Use, in Command Prompt in the folder where you unzipped it (in PowerShell, type
.\\Quorvex.exe instead of Quorvex.exe):

    Quorvex.exe <msg_file> <output folder>

    Quorvex.exe "C:\\Mail\\Report.msg" "C:\\Mail Out"

Leave the last backslash off a folder in quotes, or double it ("C:\\Mail Out\\\\"):
by Windows' rules a backslash before the closing quote makes the quote part of
the name.

It writes one new .eml file with a new unique name into the output folder and
never replaces a file there. It prints nothing when the message converts, and
one line saying why when it does not (then it leaves nothing behind). The exit
code is always 0: look for the new .eml file.

A whole folder and all folders below it, in PowerShell:

    Get-ChildItem C:\\Mail -Recurse -Filter *.msg | ForEach-Object {{ .\\Quorvex.exe $_.FullName "C:\\Mail Out" }}

mailvane-convert.exe converts whole folder trees in one run, on every core,
into the same tree of .eml files beside a report (mailvane-report.csv) of every
file; it never replaces a file. mailvane-convert.exe --help tells more:

    mailvane-convert.exe C:\\Mail "C:\\Mail Out"

The Samples folder holds five example messages to try it on.

"""

license_lines = []
with open(copyright_path, encoding="utf-8") as f:
    in_license = False
    for line in f:
        if line.startswith("Copyright:"):
            license_lines.append("Copyright " + line.split(":", 1)[1].strip())
        elif line.startswith("License:"):
            in_license = True
            license_lines.append("")
        elif in_license and line.startswith(" "):
            license_lines.append(line.strip())
        elif in_license:
            break
license = "\n".join(license_lines) + "\n"

def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")

with zipfile.ZipFile(zip_path, "w", zipfile.ZIP_DEFLATED) as z:
    for program in ("Mailvane.exe", "Quorvex.exe", "mailvane-convert.exe", "HAND-M.CUR", "drag.ico"):
        z.write(os.path.join(bin_dir, program), f"{name}/{program}")
    z.writestr(f"{name}/README.txt", crlf(readme))
    z.writestr(f"{name}/LICENSE.txt", crlf(license))
    samples = os.path.join(bin_dir, "Samples")
    for sample in sorted(os.listdir(samples)):
        z.write(os.path.join(samples, sample), f"{name}/Samples/{sample}")
PY
echo "built $zip ($(du -k "$zip" | cut -f1) KB)"

# The installer, from the same files.
msi="$build/mailvane-${version}-x64.msi"
cmake --build --preset windows --target msi > /dev/null || fail "the msi target failed"
[ -f "$msi" ] || fail "the msi target wrote no $msi"
echo "built $msi ($(du -k "$msi" | cut -f1) KB)"

# Unzipped into a scratch folder, as a user would.
check="$build/package-check"
rm -rf "$check"
mkdir -p "$check/out"
python3 - "$zip" "$check" "$name" <<'PY'
import sys, zipfile
zip_path, check, name = sys.argv[1:]
with zipfile.ZipFile(zip_path) as z:
    names = sorted(z.namelist())
    z.extractall(check)
expected = {f"{name}/{f}" for f in ("Mailvane.exe", "Quorvex.exe", "mailvane-convert.exe", "HAND-M.CUR", "drag.ico",
                                     "README.txt", "LICENSE.txt")}
missing = expected - set(names)
if missing:
    sys.exit(f"FAIL: the zip lacks {sorted(missing)}")
if not any(n.startswith(f"{name}/Samples/") and n.endswith(".msg") for n in names):
    sys.exit("FAIL: the zip has no samples")
for text in ("README.txt", "LICENSE.txt"):
    data = open(f"{check}/{name}/{text}", "rb").read()
    if data.count(b"\n") != data.count(b"\r\n") or not data.strip():
        sys.exit(f"FAIL: {text} is empty or has line ends other than CR LF")
print("contents:", ", ".join(n.split("/", 1)[1] for n in names))
PY

export WINEPREFIX="${WINEPREFIX:-$PWD/$build/wineprefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
out_win="Z:$(realpath "$check/out" | tr / '\\')\\"
count=0
for sample in "$check/$name/Samples/"*.msg; do
  before=$(ls -A "$check/out" | wc -l)
  said=$(wine "$check/$name/Quorvex.exe" "Z:$(realpath "$sample" | tr / '\\')" "$out_win")
  [ -z "$said" ] || fail "$(basename "$sample"): $said"
  [ "$(ls -A "$check/out" | wc -l)" -eq $((before + 1)) ] || fail "$(basename "$sample") gave no single new file"
  count=$((count + 1))
done
python3 - "$check/out" <<'PY'
import email, email.policy, os, sys
folder = sys.argv[1]
for name in sorted(os.listdir(folder)):
    if not name.endswith(".eml"):
        sys.exit(f"FAIL: {name} in the output folder")
    with open(os.path.join(folder, name), "rb") as f:
        m = email.message_from_binary_file(f, policy=email.policy.default)
    if not m["From"] or m["Subject"] is None:
        sys.exit(f"FAIL: {name} has no From or Subject")
PY
echo "the unzipped Quorvex.exe converted all $count samples under Wine"

# The whole Samples folder in one run: one .eml per sample under its own name.
wine "$check/$name/mailvane-convert.exe" --quiet "Z:$(realpath "$check/$name/Samples" | tr / '\\')" \
  "Z:$(realpath "$check" | tr / '\\')\\archive" || fail "mailvane-convert.exe failed on the samples"
for sample in "$check/$name/Samples/"*.msg; do
  base=$(basename "$sample" .msg)
  [ -s "$check/archive/$base.eml" ] || fail "mailvane-convert.exe gave no $base.eml"
done
[ "$(grep -c ',converted,' "$check/archive/mailvane-report.csv")" -eq "$count" ] || fail "the report does not list every sample as converted"
echo "the unzipped mailvane-convert.exe converted the Samples folder in one run under Wine"
