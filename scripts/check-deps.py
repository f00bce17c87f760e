#!/usr/bin/python3
"""Fails when a build, test or packaging script uses something that
scripts/install-deps.sh does not install onto a fresh Debian 12 machine.

What counts as used:
  - every Python module that a script imports (also the Python inside shell
    here-documents), and every GObject typelib it asks for with
    gi.require_version;
  - every command that a shell script or CMake file names, when that name is a
    program on this machine's system PATH.
What counts as brought: the listed packages, everything they depend on, and the
packages a minimal Debian root already has (priority "required").

A module or program that is installed here but comes from another package is
named with its package, so the line says what to add. A module that is not
installed at all is named with the package that most likely holds it.
Run as: /usr/bin/python3 scripts/check-deps.py  (from anywhere)
"""
import glob
import importlib.util
import os
import re
import shutil
import subprocess
import sys

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIST = os.path.join("scripts", "install-deps.sh")
SYSTEM_PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"
# What CI runs: the build, the tests, the fuzz run and the packaging steps.
# bench/ is a developer's tool and is not run by CI.
SCANNED = [".ci/run", "scripts/*", "cmake/*", "CMakeLists.txt", "**/CMakeLists.txt",
           "tests/**/*.py", "tests/**/*.sh", "fuzz/*.sh", "packaging/**/*.sh"]


def listed_packages():
    """The words of the packages=( ... ) list in scripts/install-deps.sh."""
    with open(os.path.join(TOP, LIST), encoding="utf-8") as f:
        m = re.search(r"^packages=\((.*?)^\)", f.read(), re.M | re.S)
    return {w for line in m.group(1).splitlines() for w in line.split("#", 1)[0].split()} if m else set()


def installed_packages():
    """name -> (priority, [dependency names, alternatives flattened]) and a map
    from virtual names to the installed packages that provide them."""
    out = subprocess.run(
        ["dpkg-query", "-W", "-f=${db:Status-Abbrev}\t${Package}\t${Priority}\t${Essential}\t"
         "${Pre-Depends}, ${Depends}\t${Provides}\n"],
        capture_output=True, text=True, check=True).stdout
    packages, provides = {}, {}
    for line in out.splitlines():
        status, name, priority, essential, depends, provided = (line.split("\t") + [""] * 6)[:6]
        if not status.startswith("ii"):
            continue
        names = [re.split(r"[\s:(]", d.strip(), maxsplit=1)[0]
                 for d in re.split(r"[,|]", depends) if d.strip()]
        packages[name] = (priority if essential != "yes" else "required", names)
        for p in provided.split(","):
            if p.strip():
                provides.setdefault(re.split(r"[\s(]", p.strip(), maxsplit=1)[0], []).append(name)
    return packages, provides


def closure(roots, packages, provides):
    seen, todo = set(), list(roots)
    while todo:
        name = todo.pop()
        for real in [name] + provides.get(name, []):
            if real in seen or real not in packages:
                continue
            seen.add(real)
            todo.extend(packages[real][1])
    return seen


def owners(paths):
    """path -> owning package, for the paths dpkg knows (merged /usr: /usr/bin/x
    may be registered as /bin/x). Reads dpkg's file lists once."""
    wanted = {}
    for path in paths:
        for candidate in {path, os.path.realpath(path), re.sub(r"^/usr(/s?bin/)", r"\1", path)}:
            wanted.setdefault(candidate, path)
    found = {}
    for listing in glob.glob("/var/lib/dpkg/info/*.list"):
        package = os.path.basename(listing)[:-len(".list")].split(":")[0]
        with open(listing, encoding="utf-8", errors="replace") as f:
            for line in f:
                path = wanted.get(line.rstrip("\n"))
                if path and path not in found:
                    found[path] = package
    return found


def pattern_regex(pattern):
    """A SCANNED pattern as a regular expression over a path relative to TOP:
    '*' stays within one folder, '**/' stands for any number of folders."""
    out, i = "", 0
    while i < len(pattern):
        if pattern.startswith("**/", i):
            out, i = out + "(?:[^/]+/)*", i + 3
        elif pattern[i] == "*":
            out, i = out + "[^/]*", i + 1
        else:
            out, i = out + re.escape(pattern[i]), i + 1
    return re.compile(out + r"\Z")


def scanned_files():
    # Walked by hand so that build trees are never entered: a Wine prefix there
    # links its drive Z: to the root of the file system.
    patterns = [pattern_regex(p) for p in SCANNED]
    files = []
    for folder, subfolders, names in os.walk(TOP):
        subfolders[:] = [d for d in subfolders if d not in ("build", ".git")]
        for name in names:
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, TOP)
            if os.path.isfile(path) and any(r.match(rel) for r in patterns):
                files.append(path)
    return sorted(files)


# Words before a command that are not the command: shell keywords, wrappers, and
# the options and numbers those wrappers take.
LEAD = {"if", "then", "else", "elif", "while", "until", "do", "!", "exec", "time", "command",
        "sudo", "env", "nice", "timeout", "xvfb-run", "$SUDO", "{", "(", "-n", "-a", "-s"}


def shell_commands(text):
    """The first word of each simple command in a shell script, outside
    here-documents, comments and quoted text (command substitutions count)."""
    words, heredoc = [], None
    for line in text.splitlines():
        if heredoc:
            if line.strip() == heredoc:
                heredoc = None
            continue
        m = re.search(r"<<-?\s*['\"]?(\w+)", line)
        if m:
            heredoc = m.group(1)
        line = re.sub(r"(^|\s)#.*", "", line)
        line = re.sub(r"'[^']*'", " '' ", line)
        line = re.sub(r'"([^"$]|\$[^(])*"', ' "" ', line)
        for piece in re.split(r"\|\||&&|[;|&`]|\$\(|\(|\)|<<", line):
            tokens = piece.split()
            while tokens and (tokens[0] in LEAD or re.fullmatch(r"\w+=\S*|-?[\d.]+[smh]?|-\w+", tokens[0])):
                tokens.pop(0)
            if tokens and re.fullmatch(r"[A-Za-z][\w.+-]*", tokens[0]):
                words.append(tokens[0])
    return words


def cmake_commands(text):
    return (re.findall(r"\bCOMMAND\s+([A-Za-z][\w.+-]*)", text)
            + re.findall(r"find_program\(\s*\w+\s+(?:NAMES\s+)?([A-Za-z][\w.+-]*)", text))


def python_commands(text):
    return re.findall(r"(?:run|Popen|call|check_output|check_call)\(\s*\[\s*[\"']([A-Za-z][\w.+-]*)[\"']", text)


def uses(files):
    """(modules, typelibs, commands): name -> first file that uses it."""
    modules, typelibs, commands = {}, {}, {}
    for path in files:
        rel = os.path.relpath(path, TOP)
        try:
            text = open(path, encoding="utf-8").read()
        except (UnicodeDecodeError, OSError):
            continue
        for m in re.finditer(r"^[ \t]*(?:import[ \t]+([A-Za-z_]\w*)|from[ \t]+([A-Za-z_]\w*)[\w.]*[ \t]+import\b)", text, re.M):
            name = m.group(1) or m.group(2)
            if name in sys.stdlib_module_names or os.path.exists(os.path.join(os.path.dirname(path), name + ".py")):
                continue
            modules.setdefault(name, rel)
        for m in re.finditer(r"require_version\(\s*['\"](\w+)['\"]\s*,\s*['\"]([\w.]+)['\"]", text):
            typelibs.setdefault(f"{m.group(1)}-{m.group(2)}", rel)
        name = os.path.basename(path)
        if name.endswith(".py"):
            found = python_commands(text)
        elif name == "CMakeLists.txt" or name.endswith(".cmake"):
            found = cmake_commands(text)
        else:
            found = shell_commands(text) + python_commands(text)
        for word in found:
            commands.setdefault(word, rel)
    return modules, typelibs, commands


def main():
    listed = listed_packages()
    packages, provides = installed_packages()
    unknown = sorted(p for p in listed if p not in packages and p not in provides)
    base = {n for n, (prio, _) in packages.items() if prio == "required"}
    brought = closure(listed | base, packages, provides)
    modules, typelibs, commands = uses(scanned_files())
    problems = []

    def need(what, user, path):
        package = owners([path]).get(path) if path else None
        if package and package not in brought:
            problems.append(f"{user} uses {what} from Debian package {package}, which {LIST} does not install")

    for name, user in sorted(modules.items()):
        spec = importlib.util.find_spec(name)
        if spec is None:
            guess = f"python3-{name.lower().replace('_', '-')}"
            problems.append(f"{user} imports {name}, which is not installed (Debian package {guess}?); "
                            f"add its package to the list in {LIST}")
            continue
        origin = spec.origin if spec.origin not in (None, "namespace") else next(iter(spec.submodule_search_locations or []), None)
        need(f"Python module {name}", user, origin)
    for name, user in sorted(typelibs.items()):
        found = glob.glob(f"/usr/lib/*/girepository-1.0/{name}.typelib") + glob.glob(f"/usr/lib/girepository-1.0/{name}.typelib")
        if not found:
            problems.append(f"{user} asks for the typelib {name}, which is not installed (Debian package "
                            f"gir1.2-{name.lower()}?); add its package to the list in {LIST}")
            continue
        need(f"the typelib {name}", user, found[0])
    for word, user in sorted(commands.items()):
        path = shutil.which(word, path=SYSTEM_PATH)
        if path:
            need(f"the command {word}", user, path)
    for p in unknown:
        print(f"check-deps: note: {LIST} names {p}, which is not installed here")
    for line in problems:
        print(f"check-deps: {line}")
    if problems:
        return 1
    print(f"check-deps: {len(modules)} modules, {len(typelibs)} typelibs and the commands of "
          f"{len(scanned_files())} scripts come from {len(listed)} listed packages and the base system")
    return 0


if __name__ == "__main__":
    sys.exit(main())
