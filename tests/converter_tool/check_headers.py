#!/usr/bin/env python3
"""Converts every corpus .msg with quorvex and compares each stored Internet
header block (PidTagTransportMessageHeaders) with the header of the .eml.

Usage: check_headers.py <quorvex> <corpus dir> [--verbose]

The block is read with olefile, independently of our own compound-file reader.
For every item that carries one (and every embedded message that does), each
field of the block must be in the .eml with its text; the MIME structure fields
are left out, since the writer makes its own tree. The addressing fields and the
subject come from the item's properties: there only the meaning is compared
(addresses, decoded subject, message id), and a difference is listed but not a
fault. Received fields must keep their order, and the Date its zone when it is
the instant of the item's submit time.

Fields the item's properties call for (Reply-To, In-Reply-To, References,
Importance, X-Priority, Sensitivity) must be there too when the
block has none of its own.

Every result of the corpus is also read by the email package (policy=default) and
by GMime; a defect in either is a fault. Prints the faults and a summary, and
exits with 1 while there is any.
"""
import email
import email.header
import email.policy
import email.utils
import glob
import os
import re
import struct
import subprocess
import sys
import tempfile

import olefile

# The structure fields, and two that would describe the stored body, not ours.
MIME_FIELDS = {"mime-version", "content-type", "content-transfer-encoding", "content-disposition", "content-id",
               "content-md5", "content-length"}
ADDRESS_FIELDS = {"from", "sender", "to", "cc", "bcc"}
FIELD_NAME = re.compile(r"^[!-9;-~]+$")
EMBEDDED = "__substg1.0_3701000D"


def header_fields(text):
    """(name, unfolded value) of each field of a header block, in order; lines
    that are neither a field nor a continuation are skipped."""
    fields = []
    for line in re.split(r"\r\n|\n", text.split("\0", 1)[0]):
        if line == "":
            break
        if line[0] in " \t":
            if fields:
                fields[-1][1] += line
            continue
        name, colon, value = line.partition(":")
        if colon and FIELD_NAME.match(name):
            fields.append([name, value])
    return [(n, v.strip(" \t")) for n, v in fields]


def decoded(value):
    try:
        return " ".join(str(email.header.make_header(email.header.decode_header(value))).split())
    except Exception:  # an encoded word the package cannot read stays as it is
        return " ".join(value.split())


def addr_specs(name, value):
    msg = email.message_from_string(f"{name}: {value}\n\n", policy=email.policy.default)
    try:
        return sorted(a.addr_spec.lower() for a in msg[name].addresses)
    except Exception:
        return []


def message_id(value):
    return value.strip().strip("<>").strip()


class Item:
    """One stored message (the file's own or an embedded one) with a header block."""

    def __init__(self, ole, path):
        self.path = path  # storage path list, [] for the root
        prefix = "/".join(path + [""])
        self.block = None
        for kind in ("001F", "001E"):
            name = prefix + "__substg1.0_007D" + kind
            if ole.exists(name):
                raw = ole.openstream(name).read()
                self.block = raw.decode("utf-16-le", "replace") if kind == "001F" else raw.decode("cp1252", "replace")
                break
        self.message_id = self.string(ole, prefix, "1035")
        self.subject = self.string(ole, prefix, "0037")
        self.submit_time = None
        props = prefix + "__properties_version1.0"
        if ole.exists(props):
            data = ole.openstream(props).read()
            header = 32 if not path else 24
            for off in range(header, len(data) - 15, 16):
                tag, _, value = struct.unpack_from("<IIQ", data, off)
                if tag == 0x00390040 and value:
                    self.submit_time = (value - 116444736000000000) // 10000000
                    break

    @staticmethod
    def string(ole, prefix, prop):
        for kind, codec in (("001F", "utf-16-le"), ("001E", "cp1252")):
            name = prefix + "__substg1.0_" + prop + kind
            if ole.exists(name):
                return ole.openstream(name).read().decode(codec, "replace").split("\0", 1)[0]
        return ""


def one_off_addresses(blob):
    """The addresses of the one-off entries in a FlatEntryList."""
    out = []
    if len(blob) < 8:
        return out
    count, _ = struct.unpack_from("<II", blob)
    pos = 8
    for _ in range(count):
        if pos + 4 > len(blob):
            break
        size = struct.unpack_from("<I", blob, pos)[0]
        entry = blob[pos + 4:pos + 4 + size]
        pos += 4 + (size + 3) // 4 * 4
        if entry[4:20] != bytes.fromhex("812B1FA4BEA310199D6E00DD010F5402"):
            continue
        unicode = struct.unpack_from("<H", entry, 22)[0] & 0x8000
        text = entry[24:].decode("utf-16-le" if unicode else "cp1252", "replace")
        parts = text.split("\0")
        if len(parts) >= 3:
            out.append(parts[2].lower())
    return out


PRIORITY = {1: "1 (Highest)", 0xFFFFFFFF: "5 (Lowest)"}
IMPORTANCE = {0: "low", 2: "high"}
SENSITIVITY = {1: "Personal", 2: "Private", 3: "Company-Confidential"}


def property_fields(msg_path):
    """The fields the top-level item's properties call for: {name: expected text
    or addresses}."""
    ole = olefile.OleFileIO(msg_path)
    want = {}
    if ole.exists("__substg1.0_004F0102"):
        addresses = one_off_addresses(ole.openstream("__substg1.0_004F0102").read())
        if addresses:
            want["Reply-To"] = sorted(addresses)
    for prop, name in (("1042", "In-Reply-To"), ("1039", "References")):
        value = Item.string(ole, "", prop).strip()
        if value:
            want[name] = " ".join(value.split())
    fixed = {}
    if ole.exists("__properties_version1.0"):
        data = ole.openstream("__properties_version1.0").read()
        for off in range(32, len(data) - 15, 16):
            tag, _, value = struct.unpack_from("<IIQ", data, off)
            fixed.setdefault(tag, value & 0xFFFFFFFF)
    for tag, name, texts in ((0x00170003, "Importance", IMPORTANCE), (0x00260003, "X-Priority", PRIORITY),
                             (0x00360003, "Sensitivity", SENSITIVITY)):
        if fixed.get(tag) in texts:
            want[name] = texts[fixed[tag]]
    ole.close()
    return want


def compare_properties(want, block, msg, where, faults, counts):
    """The fields built from the item's properties, where the block has none of its own."""
    stored = {n.lower() for n, _ in header_fields(block or "")}
    for name, value in want.items():
        if name.lower() in stored:
            continue
        counts["expected"] += 1
        got = msg.get_all(name) if msg is not None else None
        if not got:
            counts["missing"] += 1
            faults.append(f"{where}: missing {name} from the properties ({value})")
            continue
        text = " ".join(str(got[0]).split())
        ok = addr_specs(name, text) == value if isinstance(value, list) else text.lower() == value.lower()
        if not ok:
            counts["changed"] += 1
            faults.append(f"{where}: {name} {text!r}, the properties say {value!r}")


def stored_items(msg_path):
    """The items of a .msg that carry a header block: the root first, then
    embedded messages depth first in attachment order."""
    ole = olefile.OleFileIO(msg_path)
    items = []

    def visit(path):
        item = Item(ole, path)
        if item.block is not None:
            items.append(item)
        prefix = "/".join(path + [""])
        attachments = sorted({e[len(path)] for e in ole.listdir(storages=True)
                              if len(e) > len(path) and e[:len(path)] == path
                              and e[len(path)].lower().startswith("__attach_version1.0_#")})
        for a in attachments:
            if ole.exists(prefix + a + "/" + EMBEDDED):
                visit(path + [a, EMBEDDED])

    visit([])
    ole.close()
    return items


def compare(item, msg, where, faults, notes, counts):
    """Compares one stored block with one written message; counts into `counts`."""
    written = [(n, re.sub(r"\r?\n", "", v).strip(" \t")) for n, v in msg.raw_items()] if msg is not None else []
    pool = {}
    for n, v in written:
        pool.setdefault(n.lower(), []).append(v)
    block = header_fields(item.block)
    bad = 0

    def fault(text):
        nonlocal bad
        bad += 1
        faults.append(f"{where}: {text}")

    for name, value in block:
        key = name.lower()
        if key in MIME_FIELDS:
            continue
        counts["fields"] += 1
        have = pool.get(key, [])
        if key == "date":
            continue  # below
        if not have:
            if key in ADDRESS_FIELDS and not addr_specs(name, value):
                continue  # nothing to carry (an empty group)
            counts["missing"] += 1
            fault(f"missing {name}: {value[:70]}")
            continue
        if key in ADDRESS_FIELDS:
            if addr_specs(name, value) != addr_specs(name, have[0]):
                notes.append(f"{where}: {name} from the properties: {have[0][:60]!r} (block: {value[:60]!r})")
            have.pop(0)
            continue
        if key == "subject":
            if decoded(value) != decoded(have[0]):
                notes.append(f"{where}: Subject from the properties: {decoded(have[0])!r} (block: {decoded(value)!r})")
            have.pop(0)
            continue
        if key == "message-id":
            if message_id(value) != message_id(have[0]):
                notes.append(f"{where}: Message-ID from the properties: {have[0]!r} (block: {value!r})")
            have.pop(0)
            continue
        match = next((i for i, v in enumerate(have) if v == value), None)
        if match is None and (not value.isascii() or "=?" in value):
            match = next((i for i, v in enumerate(have) if decoded(v) == decoded(value)), match)
        if match is None:
            counts["changed"] += 1
            fault(f"changed {name}: {value[:60]!r} -> {have[0][:60]!r}")
            have.pop(0)
            continue
        have.pop(match)

    received_block = [v for n, v in block if n.lower() == "received"]
    received_eml = [v for n, v in written if n.lower() == "received"]
    if received_block and received_eml and received_block != received_eml[:len(received_block)]:
        fault("Received fields out of order")

    dates = [v for n, v in block if n.lower() == "date"]
    if dates:
        got = [v for n, v in written if n.lower() == "date"]
        try:
            instant = int(email.utils.parsedate_to_datetime(dates[0]).timestamp())
        except (TypeError, ValueError):
            instant = None
        if not got:
            counts["missing"] += 1
            fault("missing Date")
        elif instant is not None and instant == item.submit_time:
            if got[0] != dates[0]:
                counts["changed"] += 1
                fault(f"changed Date: {dates[0]!r} -> {got[0]!r}")
        else:
            notes.append(f"{where}: Date {dates[0]!r} is not the submit time; written {got[0]!r}")
    return bad == 0


def rfc822_parts(msg):
    """The messages carried as message/rfc822 parts below msg, depth first."""
    out = []
    for part in msg.iter_parts() if msg.is_multipart() else []:
        if part.get_content_type() == "message/rfc822":
            inner = part.get_payload()[0]
            out.append(inner)
            out.extend(rfc822_parts(inner))
        elif part.get_content_maintype() == "multipart":
            out.extend(rfc822_parts(part))
    return out


def python_defects(msg):
    found = []
    for part in msg.walk():
        for d in part.defects:
            found.append(f"{part.get_content_type()}: {type(d).__name__}")
    return found


def gmime_defects(data, py_msg):
    """What GMime, with strict options, reads differently or cannot read."""
    import gi
    gi.require_version("GMime", "3.0")
    from gi.repository import GMime
    GMime.init()
    options = GMime.ParserOptions.new()
    options.set_rfc2047_compliance_mode(GMime.RfcComplianceMode.STRICT)
    options.set_address_compliance_mode(GMime.RfcComplianceMode.STRICT)
    parser = GMime.Parser.new_with_stream(GMime.StreamMem.new_with_buffer(data))
    message = parser.construct_message(options)
    if message is None:
        return ["not a message"]
    found = []
    gm_parts = []

    def walk(obj):
        gm_parts.append(obj)
        if isinstance(obj, GMime.Multipart):
            for i in range(obj.get_count()):
                walk(obj.get_part(i))
        elif isinstance(obj, GMime.MessagePart):
            inner = obj.get_message()
            if inner is not None:
                walk(inner)
        elif isinstance(obj, GMime.Message):
            if obj.get_mime_part() is not None:
                walk(obj.get_mime_part())

    walk(message)
    for obj in gm_parts:
        headers = obj.get_header_list()
        for i in range(headers.get_count()):
            h = headers.get_header_at(i)
            value = h.get_value() or ""
            if re.search(r"=\?[^?]+\?[bBqQ]\?", value):
                found.append(f"{h.get_name()}: encoded word left undecoded")
            if h.get_name().lower() in ADDRESS_FIELDS | {"reply-to"}:
                parsed = GMime.InternetAddressList.parse(options, h.get_raw_value())
                if parsed is None or parsed.length() == 0:
                    found.append(f"{h.get_name()}: no address read")
        if isinstance(obj, GMime.Part):
            wrapper = obj.get_content()
            if wrapper is not None:
                out = GMime.StreamMem.new()
                if wrapper.write_to_stream(out) < 0:
                    found.append(f"{obj.get_content_type().get_mime_type()}: content does not decode")
    def py_leaf_count(part):
        # The email package reads a delivery status as a list of field blocks;
        # GMime, like a mail program, as one part.
        if part.get_content_type() == "message/delivery-status" or not part.is_multipart():
            return 1
        return sum(py_leaf_count(p) for p in part.get_payload())

    py_leaves = py_leaf_count(py_msg)
    gm_leaves = len([o for o in gm_parts if isinstance(o, GMime.Part)])
    if py_leaves != gm_leaves:
        found.append(f"{gm_leaves} leaf parts, the email package reads {py_leaves}")
    return found


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    verbose = "--verbose" in sys.argv
    if len(args) != 2:
        print(__doc__)
        return 2
    quorvex, corpus = args
    faults, notes = [], []
    totals = {"top": dict(items=0, whole=0, fields=0, missing=0, changed=0),
              "embedded": dict(items=0, whole=0, fields=0, missing=0, changed=0)}
    results = 0
    from_properties = dict(expected=0, missing=0, changed=0)
    for path in sorted(glob.glob(os.path.join(corpus, "*", "*.msg"))):
        shown = os.path.relpath(path, corpus)
        with tempfile.TemporaryDirectory() as out:
            run = subprocess.run([quorvex, path, out + "/"], capture_output=True, timeout=120)
            names = os.listdir(out)
            data = None
            if len(names) == 1:
                with open(os.path.join(out, names[0]), "rb") as f:
                    data = f.read()
        msg = email.message_from_bytes(data, policy=email.policy.default) if data is not None else None
        if msg is not None:
            results += 1
            if b"\r\n" not in data or re.search(rb"[^\r]\n|\r[^\n]", data):
                faults.append(f"{shown}: lines do not all end in CR LF")
            head = data.split(b"\r\n\r\n", 1)[0]
            if any(b > 0x7F for b in head):
                faults.append(f"{shown}: 8-bit bytes in the header")
            for d in python_defects(msg):
                faults.append(f"{shown}: email package: {d}")
            for d in gmime_defects(data, msg):
                faults.append(f"{shown}: GMime: {d}")
        items = stored_items(path)
        if msg is not None:
            top_block = items[0].block if items and not items[0].path else None
            compare_properties(property_fields(path), top_block, msg, shown, faults, from_properties)
        inner = rfc822_parts(msg) if msg is not None else []
        for item in items:
            if item.path and msg is None:
                # The file fails by design (an unsent draft, not mail): nothing carries it.
                notes.append(f"{shown}: not converted, embedded block not compared")
                continue
            kind = "embedded" if item.path else "top"
            counts = totals[kind]
            counts["items"] += 1
            where = shown
            target = msg
            if item.path:
                where = shown + " > " + "/".join(p for p in item.path if p != EMBEDDED)
                target = next((m for m in inner if item.message_id and
                               message_id(str(m.get("Message-ID", ""))) == message_id(item.message_id)), None)
                if target is None:
                    target = next((m for m in inner if decoded(str(m.get("Subject", ""))) == decoded(item.subject)),
                                  None)
                if target is not None:
                    inner.remove(target)
            if target is None:
                notes.append(f"{where}: no .eml ({run.stdout.decode(errors='replace').strip()})")
            if compare(item, target, where, faults, notes, counts):
                counts["whole"] += 1
    for line in faults:
        print(line)
    if verbose:
        for line in notes:
            print("note:", line)
    for kind, label in (("top", "items"), ("embedded", "embedded messages")):
        c = totals[kind]
        print(f"{label} with a header block: {c['items']}; fields (without MIME structure): {c['fields']}; "
              f"missing {c['missing']}, changed {c['changed']}; whole {c['whole']} of {c['items']}")
    print(f"fields from the items' properties: {from_properties['expected']}; "
          f"missing {from_properties['missing']}, changed {from_properties['changed']}")
    print(f"results read by both readers: {results}; faults: {len(faults)}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
