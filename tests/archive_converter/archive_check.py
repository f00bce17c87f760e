#!/usr/bin/env python3
"""mailvane-convert end to end, one case per call.

usage: archive_check.py <case> <mailvane-convert> <quorvex> <corpus folder>

Each case builds its trees in a fresh temporary folder and exits with 1 and one
line per problem when something is wrong, 77 when the case cannot run here.
"""
import csv
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

CONVERT, QUORVEX, CORPUS = sys.argv[2], sys.argv[3], os.path.abspath(sys.argv[4])
# The generated parts of a result: MIME boundaries and a generated Message-ID.
GENERATED = [
    (re.compile(rb"=_mv_[0-9a-f]{24}"), b"=_mv_" + b"B" * 24),
    (re.compile(rb"<[0-9a-f]{32}\.[0-9]+@"), b"<generated-id@"),
]
problems = []


def problem(text):
    problems.append(text)


def normalized(data):
    for pattern, replacement in GENERATED:
        data = pattern.sub(replacement, data)
    return data


def corpus_files():
    found = []
    for root, _, files in os.walk(CORPUS):
        found += [os.path.join(root, f) for f in files if f.lower().endswith(".msg")]
    return sorted(found)


def quorvex(source, scratch):
    """What quorvex gives for source: (the .eml bytes or None, its line)."""
    folder = tempfile.mkdtemp(dir=scratch)
    line = subprocess.run([QUORVEX, source, folder], capture_output=True).stdout.decode().strip()
    emls = [n for n in os.listdir(folder) if n.endswith(".eml")]
    data = open(os.path.join(folder, emls[0]), "rb").read() if emls else None
    shutil.rmtree(folder)
    return data, line


def run(args, **kw):
    return subprocess.run([CONVERT] + args, capture_output=True, **kw)


def report(path):
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    if rows[0] != ["source", "result", "status", "reason", "input_bytes", "milliseconds"]:
        problem(f"{path}: header {rows[0]}")
    return rows[1:]


def leftovers(folder):
    """Temporary files and journals anywhere below folder."""
    return [os.path.join(r, n) for r, _, names in os.walk(folder) for n in names
            if n.endswith(".tmp") or n.endswith(".pending")]


def results(folder):
    return sorted(os.path.join(r, n) for r, _, names in os.walk(folder) for n in names if n.endswith(".eml"))


def copies(scratch, count, name="m"):
    """A source tree of count copies of the corpus files that convert, in
    nested folders."""
    files = [f for f in corpus_files() if quorvex(f, scratch)[0] is not None]
    src = os.path.join(scratch, "in")
    for i in range(count):
        folder = os.path.join(src, f"{i % 7}", f"{i % 3}")
        os.makedirs(folder, exist_ok=True)
        shutil.copy(files[i % len(files)], os.path.join(folder, f"{name}{i}.msg"))
    return src


def check_exactly_once(rows, sources, out):
    """The last row of each source: converted ones name a result that exists,
    and every result in the tree belongs to exactly one of them."""
    last = {}
    for row in rows:
        last[row[0]] = row
    if set(last) != set(sources):
        problem(f"report covers {len(last)} sources, expected {len(sources)}")
    named = [r[1] for r in last.values() if r[2] == "converted"]
    if len(set(named)) != len(named):
        problem("two sources name one result")
    if sorted(named) != results(out):
        extra = set(results(out)) - set(named)
        problem(f"results in the tree ({len(results(out))}) are not those of the report ({len(named)}): "
                f"{sorted(extra)[:3]}")
    if leftovers(out):
        problem(f"left behind: {leftovers(out)[:3]}")


def case_tree(scratch):
    """Nested folders with Cyrillic and CJK names, the output folder inside the
    source, a source given twice (named again, and by a link), a hard link (a
    name of its own), and bad entries: a folder named x.msg, a link loop of
    folders, a link to itself, a named pipe, a damaged file."""
    files = corpus_files()
    converted = [f for f in files if quorvex(f, scratch)[0] is not None]
    src = os.path.join(scratch, "Почта 郵件")
    deep = os.path.join(src, "2019", "Входящие", "受信箱")
    os.makedirs(deep)
    os.makedirs(os.path.join(src, "x.msg"))
    shutil.copy(converted[0], os.path.join(deep, "Отчёт 報告.MSG"))
    shutil.copy(converted[1], os.path.join(src, "x.msg", "inner.msg"))
    shutil.copy(converted[2], os.path.join(src, "2019", "a.msg"))
    os.link(os.path.join(src, "2019", "a.msg"), os.path.join(src, "2019", "b.msg"))  # a second name
    os.symlink("2019/a.msg", os.path.join(src, "link.msg"))  # the same name again
    os.symlink("..", os.path.join(deep, "up"))
    os.symlink("self.msg", os.path.join(src, "self.msg"))
    os.mkfifo(os.path.join(src, "pipe.msg"))
    with open(os.path.join(src, "damaged.msg"), "wb") as f:
        f.write(open(converted[3], "rb").read()[:1500])
    out = os.path.join(src, "out")
    start = time.monotonic()
    p = run([src, os.path.join(src, "2019", "a.msg"), out], timeout=60)
    if time.monotonic() - start > 20:
        problem("the named pipe held the run up")
    if p.returncode != 1:
        problem(f"exit code {p.returncode}, expected 1 (damaged file): {p.stderr!r}")
    if b"a folder already searched" not in p.stderr:
        problem(f"no line about the link loop: {p.stderr!r}")
    rows = {os.path.relpath(r[0], src): r for r in report(os.path.join(out, "mailvane-report.csv"))}
    want = {
        "2019/Входящие/受信箱/Отчёт 報告.MSG": ("converted", "2019/Входящие/受信箱/Отчёт 報告.eml", ""),
        "x.msg/inner.msg": ("converted", "x.msg/inner.eml", ""),
        "2019/a.msg": ("converted", "2019/a.eml", ""),
        "2019/b.msg": ("converted", "2019/b.eml", ""),
        "self.msg": ("failed", "", "Too many levels of symbolic links"),
        "pipe.msg": ("failed", "", "not a regular file"),
        "damaged.msg": ("failed", "", "Cannot read the message"),
    }
    for name, (status, result, reason) in want.items():
        row = rows.get(name)
        if row is None:
            problem(f"no row for {name}")
            continue
        if row[2] != status or (row[1] and os.path.relpath(row[1], out)) != (result or row[1]):
            problem(f"{name}: {row[1:4]}, expected {status} {result}")
        if reason not in row[3] or (status == "failed") != bool(row[3]):
            problem(f"{name}: reason {row[3]!r}, expected one with {reason!r}")
    if len(rows) != len(want):
        problem(f"rows for {sorted(set(rows) - set(want))}")
    if leftovers(out):
        problem(f"left behind: {leftovers(out)}")
    # The result's time is the message's date.
    eml = os.path.join(out, "2019", "a.eml")
    if os.path.exists(eml) and abs(os.stat(eml).st_mtime - time.time()) < 3600:
        problem("2019/a.eml has the time of the run, not the message's date")


def case_corpus(scratch):
    """Every result is what quorvex writes for the same file, every refusal
    and failure says quorvex's line."""
    out = os.path.join(scratch, "out")
    p = run(["-j2", CORPUS, out], timeout=600)
    if p.returncode not in (0, 1):
        problem(f"exit code {p.returncode}: {p.stderr!r}")
    rows = {r[0]: r for r in report(os.path.join(out, "mailvane-report.csv"))}
    files = corpus_files()
    if sorted(rows) != files:
        problem(f"{len(rows)} rows for {len(files)} files")
    for source in files:
        data, line = quorvex(source, scratch)
        row = rows.get(source)
        if row is None:
            continue
        if data is None:
            if row[2] == "converted" or row[3] != line:
                problem(f"{source}: {row[2]} {row[3]!r}; quorvex says {line!r}")
        elif row[2] != "converted":
            problem(f"{source}: {row[2]} {row[3]!r}; quorvex converts it")
        elif normalized(open(row[1], "rb").read()) != normalized(data):
            problem(f"{source}: the result differs from quorvex's")


def case_resume(scratch):
    """Killed at several moments (the whole process group, as a power cut
    would stop it), then resumed: every file exactly once, nothing left over."""
    src = copies(scratch, 400)
    out = os.path.join(scratch, "out")
    sources = sorted(os.path.join(r, n) for r, _, names in os.walk(src) for n in names)
    rpt = os.path.join(out, "mailvane-report.csv")
    for delay in (0.05, 0.3, 0.6):
        p = subprocess.Popen([CONVERT, "-j2", "--resume", "--quiet", src, out], start_new_session=True)
        time.sleep(delay)
        os.killpg(p.pid, signal.SIGKILL)
        p.wait()
    p = run(["-j2", "--resume", src, out], timeout=300)
    if p.returncode != 0:
        problem(f"resume: exit code {p.returncode}: {p.stderr!r}")
    rows = report(rpt)
    check_exactly_once(rows, sources, out)
    if any(r[2] != "converted" for r in rows):
        problem("a copy of a converting file did not convert")
    # Once more: nothing to do, nothing added.
    again = run(["--resume", src, out], timeout=300)
    if b"0 converted" not in again.stderr or len(report(rpt)) != len(rows):
        problem(f"a second resume converted again: {again.stderr!r}")


def case_timeout(scratch):
    """A worker that stops answering costs its file; the run goes on."""
    src = copies(scratch, 300)
    out = os.path.join(scratch, "out")
    p = subprocess.Popen([CONVERT, "-j1", "--timeout", "1", src, out], stderr=subprocess.PIPE)
    worker = None
    deadline = time.monotonic() + 5
    while worker is None and time.monotonic() < deadline:
        # The feeding thread starts the worker: it is a child of any thread.
        for task in os.listdir(f"/proc/{p.pid}/task"):
            for child in open(f"/proc/{p.pid}/task/{task}/children").read().split():
                # Once it runs as a worker: before its exec it still shares the
                # parent's memory, and stopping it there would stop the parent.
                if b"--worker" in open(f"/proc/{child}/cmdline", "rb").read():
                    worker = int(child)
    if worker is None:
        p.kill()
        problem("no worker appeared")
        return
    os.kill(worker, signal.SIGSTOP)
    _, err = p.communicate(timeout=60)
    rows = report(os.path.join(out, "mailvane-report.csv"))
    timed_out = [r for r in rows if r[2] == "failed" and r[3].startswith("Timed out after 1 s")]
    if p.returncode != 1 or len(timed_out) != 1:
        problem(f"exit code {p.returncode}, {len(timed_out)} timed out: {err!r}")
    if sum(r[2] == "converted" for r in rows) != len(rows) - 1:
        problem("the files after the hung one did not convert")


def case_two_runs(scratch):
    """Two runs into one tree at once: every result of both is kept."""
    out = os.path.join(scratch, "out")
    runs = [subprocess.Popen([CONVERT, "-j1", "--quiet", "--report", os.path.join(scratch, f"r{i}.csv"), CORPUS, out])
            for i in range(2)]
    for p in runs:
        p.wait()
    named = []
    for i in range(2):
        named += [r[1] for r in report(os.path.join(scratch, f"r{i}.csv")) if r[2] == "converted"]
    if len(set(named)) != len(named) or sorted(named) != results(out):
        problem(f"{len(named)} results recorded, {len(set(named))} distinct, {len(results(out))} in the tree")
    # The same run again without --resume adds " (2)" names and replaces nothing.
    before = {path: os.stat(path).st_ino for path in results(out)}
    run(["--quiet", "--report", os.path.join(scratch, "r3.csv"), CORPUS, out])
    for path, inode in before.items():
        if os.stat(path).st_ino != inode:
            problem(f"{path} was replaced")
    # The report is held by one run at a time.
    held = subprocess.Popen([CONVERT, "-j1", "--quiet", "--report", os.path.join(scratch, "r0.csv"), CORPUS, out])
    time.sleep(0.05)
    second = run(["--report", os.path.join(scratch, "r0.csv"), CORPUS, out])
    held.wait()
    if held.returncode != 0 and second.returncode != 2:
        problem("neither run could use the report")
    if second.returncode == 2 and b"another run is writing it" not in second.stderr:
        problem(f"second run on one report: {second.stderr!r}")


def case_stdio(scratch):
    """mailvane-convert - -: the .eml on standard output; the line on error."""
    files = corpus_files()
    converted = next(f for f in files if quorvex(f, scratch)[0] is not None)
    refused = next(f for f in files if quorvex(f, scratch)[0] is None and "Cannot read" not in quorvex(f, scratch)[1])
    for source, code in ((converted, 0), (refused, 0)):
        data, line = quorvex(source, scratch)
        p = run(["-", "-"], stdin=open(source, "rb"))
        if p.returncode != code:
            problem(f"{source}: exit code {p.returncode}")
        if data is not None and normalized(p.stdout) != normalized(data):
            problem(f"{source}: standard output differs from quorvex's file")
        if data is None and (p.stdout or p.stderr.decode().strip() != line):
            problem(f"{source}: {p.stdout[:40]!r} {p.stderr!r}, expected the line {line!r}")
    p = run(["-", "-"], input=b"not a message")
    if p.returncode != 1 or p.stdout or not p.stderr.startswith(b"Cannot read the message"):
        problem(f"garbage: {p.returncode} {p.stdout[:40]!r} {p.stderr!r}")


def case_exit_codes(scratch):
    files = corpus_files()
    good = next(f for f in files if quorvex(f, scratch)[0] is not None)
    refused = next(f for f in files if "Item is not a mail message" in quorvex(f, scratch)[1])
    a_file = os.path.join(scratch, "file")
    open(a_file, "w").close()
    out = os.path.join(scratch, "out")
    os.makedirs(out)
    notes = os.path.join(scratch, "notes.txt")
    open(notes, "w").write("not a report\n")
    damaged = os.path.join(scratch, "damaged.msg")
    open(damaged, "wb").write(b"\xd0\xcf\x11\xe0" + b"\0" * 600)
    cases = [
        ([good, os.path.join(scratch, "o1")], 0),           # converted
        ([refused, os.path.join(scratch, "o2")], 0),        # a refusal is no failure
        ([good, damaged, os.path.join(scratch, "o3")], 1),  # one failed
        ([os.path.join(scratch, "gone.msg"), os.path.join(scratch, "o4")], 1),
        ([], 2),                                            # nothing given
        ([good], 2),                                        # no output folder
        ([good, a_file], 2),                                # output is a file
        ([out, out], 2),                                    # source is the output folder
        (["--null", good, out], 2),                         # --null without a list
        (["--jobs", "0", good, out], 2),
        (["--from-list", os.path.join(scratch, "nolist"), out], 2),
        (["--bogus", good, out], 2),
        (["--report", notes, good, out], 2),                # a file that is no report stays
    ]
    for args, code in cases:
        p = run(args)
        if p.returncode != code:
            problem(f"{args}: exit code {p.returncode}, expected {code}: {p.stderr[-200:]!r}")
    if open(notes).read() != "not a report\n":
        problem("--report replaced a file that is not a report")
    if run(["--help"]).returncode != 0:
        problem("--help does not exit with 0")


def case_parallel(scratch):
    """Two shards of one NUL-separated list through GNU parallel into one tree:
    each file once, the merged reports one row per source."""
    if shutil.which("parallel") is None:
        print("GNU parallel is not installed")
        sys.exit(77)
    src = copies(scratch, 120, "Письмо ")
    out = os.path.join(scratch, "out")
    sources = sorted(os.path.join(r, n) for r, _, names in os.walk(src) for n in names)
    for i in range(2):
        with open(os.path.join(scratch, f"share{i}"), "wb") as f:
            f.write(b"".join(s.encode() + b"\0" for s in sources[i::2]))
    p = subprocess.run(["parallel", "--sshlogin", ":", "-j2", CONVERT, "--from-list", "{}", "--null", "--quiet",
                        "-j1", "--report", "{}.csv", out, ":::",
                        os.path.join(scratch, "share0"), os.path.join(scratch, "share1")],
                       capture_output=True, timeout=300)
    if p.returncode != 0:
        problem(f"parallel: exit code {p.returncode}: {p.stderr!r}")
    rows = report(os.path.join(scratch, "share0.csv")) + report(os.path.join(scratch, "share1.csv"))
    if len(rows) != len(sources):
        problem(f"{len(rows)} rows for {len(sources)} sources")
    check_exactly_once(rows, sources, out)


def case_full_disk(scratch):
    """A full disk: the file fails, nothing partial stays, the run goes on;
    resuming once there is room finishes it. Needs a small tmpfs in a user
    namespace (unshare -rm), which needs no privileges."""
    mount = os.path.join(scratch, "small")
    os.makedirs(mount)
    src = copies(scratch, 20)
    rpt = os.path.join(scratch, "r.csv")
    # 64 KB of room: a few results fit, the rest do not; then room for all.
    p = subprocess.run(["unshare", "-rm", "sh", "-c",
                        'mount -t tmpfs -o size=64k none "$1" || exit 77; '
                        '"$2" -j1 --report "$3" "$4" "$1/out"; echo "rc=$?"; '
                        'find "$1" -name "*.tmp" -o -name "*.pending"; '
                        'mount -o remount,size=20m "$1"; '
                        '"$2" --resume --report "$3" "$4" "$1/out"; echo "rc=$?"; '
                        'cp -a "$1/out" "$5"',
                        "sh", mount, CONVERT, rpt, src, os.path.join(scratch, "kept")],
                       capture_output=True, timeout=120)
    if p.returncode == 77:
        print("no unprivileged tmpfs here")
        sys.exit(77)
    if p.stdout.decode().splitlines() != ["rc=1", "rc=0"]:
        problem(f"full disk: {p.stdout!r} {p.stderr[-300:]!r}")
    rows = report(rpt)
    if not any(r[2] == "failed" and "No space left on device" in r[3] for r in rows):
        problem("no file failed for lack of room")
    sources = sorted(os.path.join(r, n) for r, _, names in os.walk(src) for n in names)
    rows = [[r[0], r[1].replace(os.path.join(mount, "out"), os.path.join(scratch, "kept"))] + r[2:] for r in rows]
    check_exactly_once(rows, sources, os.path.join(scratch, "kept"))


CASES = {name[5:]: fn for name, fn in globals().items() if name.startswith("case_")}

if __name__ == "__main__":
    with tempfile.TemporaryDirectory(prefix=f"archive-{sys.argv[1]}-") as scratch:
        CASES[sys.argv[1]](scratch)
    for line in problems:
        print(line)
    sys.exit(1 if problems else 0)
