#!/usr/bin/env python3
"""Reads back what quorvex wrote for the benchmark inputs, with the standard
library's email package (policy=default), independently of our writer.

  check_outputs.py small <folder of .eml> <expected count>
      every .eml parses without defects and carries From, Subject
      "Weekly report N", 2-3 recipients and the attachment figures-N.bin of
      its generated size; the subjects cover 0..count-1 once each.
  check_outputs.py large <file.eml> <payload.bin>
      the one attachment decodes to exactly the bytes of payload.bin (sha256).
  check_outputs.py parse <folder of .eml>
      only counts files that parse without defects (for the peer's output).
Prints a summary line; exits with 1 on any problem.
"""
import email
import email.policy
import hashlib
import os
import re
import sys


def load(path):
    with open(path, "rb") as f:
        return email.message_from_binary_file(f, policy=email.policy.default)


def defects(msg):
    found = list(msg.defects)
    for part in msg.walk():
        found.extend(part.defects)
    return found


def attachments(msg):
    return [p for p in msg.walk() if p.get_content_disposition() == "attachment"]


def check_small(folder, count):
    problems = []
    seen = set()
    names = sorted(n for n in os.listdir(folder) if n.endswith(".eml"))
    for name in names:
        path = os.path.join(folder, name)
        msg = load(path)
        if defects(msg):
            problems.append(f"{name}: defects {defects(msg)}")
        m = re.fullmatch(r"Weekly report (\d+)", str(msg["subject"] or ""))
        if not m:
            problems.append(f"{name}: subject {msg['subject']!r}")
            continue
        n = int(m.group(1))
        seen.add(n)
        if msg["from"] is None or not msg["from"].addresses:
            problems.append(f"{name}: no From")
        recipients = sum(len(msg[f].addresses) for f in ("to", "cc") if msg[f] is not None)
        if recipients != 2 + n % 2:
            problems.append(f"{name}: {recipients} recipients, expected {2 + n % 2}")
        atts = attachments(msg)
        want = 1024 + (n % 7) * 512
        if len(atts) != 1 or atts[0].get_filename() != f"figures-{n}.bin" or \
                len(atts[0].get_content()) != want:
            problems.append(f"{name}: attachment not figures-{n}.bin of {want} bytes")
        if msg.get_body(("html",)) is None:
            problems.append(f"{name}: no HTML body")
    if seen != set(range(count)):
        problems.append(f"{len(seen)} distinct messages of {count}")
    for p in problems[:20]:
        print(p)
    print(f"small: {len(names)} files parsed, {len(problems)} problems")
    return not problems


def check_large(eml, payload):
    msg = load(eml)
    atts = attachments(msg)
    if defects(msg) or len(atts) != 1:
        print(f"large: {eml}: defects {defects(msg)}, {len(atts)} attachments")
        return False
    got = atts[0].get_content()
    del msg
    with open(payload, "rb") as f:
        want = hashlib.sha256(f.read()).hexdigest()
    have = hashlib.sha256(got).hexdigest()
    ok = have == want
    print(f"large: {os.path.basename(payload)} {len(got)} bytes decoded, sha256 {have[:16]}... "
          f"{'matches' if ok else 'DIFFERS from ' + want[:16] + '...'}")
    return ok


def check_parse(folder):
    names = [n for n in os.listdir(folder) if n.endswith(".eml")]
    bad = 0
    for name in names:
        try:
            if defects(load(os.path.join(folder, name))):
                bad += 1
        except Exception:  # the peer's output: count, do not stop
            bad += 1
    print(f"parse: {len(names)} files, {bad} with defects")
    return bad == 0


if __name__ == "__main__":
    mode = sys.argv[1] if len(sys.argv) > 1 else ""
    if mode == "small" and len(sys.argv) == 4:
        ok = check_small(sys.argv[2], int(sys.argv[3]))
    elif mode == "large" and len(sys.argv) == 4:
        ok = check_large(sys.argv[2], sys.argv[3])
    elif mode == "parse" and len(sys.argv) == 3:
        ok = check_parse(sys.argv[2])
    else:
        sys.exit(__doc__)
    sys.exit(0 if ok else 1)
