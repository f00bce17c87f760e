#!/usr/bin/env python3
"""Checks one .eml written by quorvex against what the .msg reader saw.

Usage: check_eml.py <file.eml> <expected.json>

The .eml is parsed with the standard library's email package (policy=default),
independently of our writer. expected.json holds, for the message and for each
embedded message in turn:
  from       address or null (null: no From field at all)
  to, cc, bcc  lists of addresses in order
  subject    text
  body_words words of the plain body to look for in the text of the HTML body,
             body_words_min of them at least (all when absent)
  signed     true when the body must be the stored multipart/signed entity
  calendar   the method of the meeting's text/calendar alternative, the one
             calendar part of the message (absent: it has none)
  content_ids  the Content-IDs the item's attachments carry
The pictures of an RTF body rendered as HTML (pictureN.ext, Content-ID
imageN.<hex>@mailvane.invalid) are parts beside the attachments.
  attachments  list of {"name", "file"} (bytes to compare) or {"name"} (name
               only) or {"name", "message": {...}} (an embedded message);
               "created" and "modified" (Unix seconds): the creation-date and
               modification-date its Content-Disposition must carry
  report     for a report: {"type": report-type, "recipients": [...]}, the
             addresses its machine part names in Final-Recipient, in order
A second, independent reader (GMime, through the gi bindings) must decode From,
Sender, Reply-To, To, Cc, Bcc (names and addresses), Subject and every part's
file name, creation-date and modification-date exactly as the email package
does, blanks included; without the gi
module that comparison is skipped with a note on stderr. One known fault of the
email package is allowed for: before Python 3.14 it keeps the blank between two
encoded words of a display name (CPython gh-128110), which RFC 2047 drops.
An item whose only body is an empty plain text must come out as an empty
text/plain.
Prints one line per problem and exits with 1 when there is any.
"""
import email
import email.message
import email.policy
import email.utils
import html
import json
import re
import sys
import urllib.parse

try:
    import gi
except ImportError:
    gi = None

problems = []
RAW = b""
ADDRESS_FIELDS = ("From", "Sender", "Reply-To", "To", "Cc", "Bcc")


def problem(where, text):
    problems.append(f"{where}: {text}")


def addresses(msg, field):
    values = msg.get_all(field) or []
    out = []
    for value in values:
        for addr in value.addresses:
            out.append(addr.addr_spec)
    return out


def html_text(part):
    text = part.get_content()
    text = re.sub(r"(?is)<(script|style)[^>]*>.*?</\1>", " ", text)
    text = re.sub(r"(?s)<[^>]*>", " ", text)
    return html.unescape(text)


def leaf_parts(msg):
    """Every non-multipart part below msg, not looking inside message/* parts."""
    if msg.get_content_maintype() == "multipart":
        for sub in msg.iter_parts():
            yield from leaf_parts(sub)
    else:
        yield msg


def check_message(msg, exp, where):
    if msg.defects:
        problem(where, f"header defects {msg.defects}")
    for part in msg.walk():
        if part.defects and part is not msg:
            problem(where, f"part {part.get_content_type()} defects {part.defects}")

    from_list = addresses(msg, "From")
    if exp.get("from") == "*":
        if len(from_list) != 1:
            problem(where, f"From {from_list} is not one address")
    elif exp.get("from") is None:
        if from_list:
            problem(where, f"unexpected From {from_list}")
    elif from_list != [exp["from"]]:
        problem(where, f"From {from_list} != {exp['from']}")
    for field in ("to", "cc", "bcc"):
        got = addresses(msg, field)
        want = exp.get(field, [])
        # "*": the reader saw no Internet address there (found by other means).
        if len(got) != len(want) or any(w not in ("*", g) for g, w in zip(got, want)):
            problem(where, f"{field} {got} != {exp.get(field, [])}")
    if (msg["Subject"] or "").strip() != exp.get("subject", "").strip():
        problem(where, f"Subject {msg['Subject']!r} != {exp.get('subject')!r}")
    if msg["Date"] is None or msg["Date"].datetime is None:
        problem(where, "no usable Date")
    if msg["Message-ID"] is None:
        problem(where, "no Message-ID")

    if exp.get("signed"):
        if msg.get_content_type() != "multipart/signed":
            problem(where, f"signed item written as {msg.get_content_type()}")
        return

    body = msg.get_body(preferencelist=("html",))
    if body is None:
        # An empty body stays the empty text it is.
        body = msg.get_body(preferencelist=("plain",))
        if body is None or body.get_content().strip() or exp.get("body_words"):
            problem(where, "no text/html body")
            return
    charset = body.get_content_charset()
    raw = body.get_payload(decode=True)
    try:
        raw.decode(charset or "us-ascii")
    except (LookupError, UnicodeDecodeError):
        problem(where, f"body bytes do not match charset {charset}")
    text = " ".join(html_text(body).split()).lower()
    words = exp.get("body_words", [])
    missing = [w for w in words if w.lower() not in text]
    if len(words) - len(missing) < exp.get("body_words_min", len(words)):
        problem(where, f"body lacks {missing!r}")

    # Every cid: in the HTML that names an attachment of the item names a part of
    # this message (an item may refer to images it does not carry).
    carried = {urllib.parse.unquote(c.strip().strip("<>")).lower() for c in exp.get("content_ids", [])}
    content_ids = set()
    for part in msg.walk():
        cid = part.get("Content-ID")
        if cid:
            content_ids.add(urllib.parse.unquote(str(cid).strip().strip("<>")).lower())
    for ref in re.findall(r"(?i)cid:([^\"'()<>\s]+)", body.get_content()):
        ref = urllib.parse.unquote(ref).lower()
        if ref not in content_ids and ref in carried:
            problem(where, f"cid:{ref} resolves to no part")

    machine = check_report(msg, exp.get("report"), where)

    # Attachments: every expected one appears once, by name, with its bytes.
    parts = [p for p in leaf_parts(msg) if p is not body and p is not machine]
    # A meeting's calendar: the last alternative and nowhere else, or mail
    # programs show the invitation twice.
    calendars = [p for p in parts if p.get_content_type() == "text/calendar"]
    if exp.get("calendar"):
        if len(calendars) != 1 or calendars[0].get_filename() is not None:
            problem(where, f"calendar parts {[p.get_filename() for p in calendars]}, not one shown")
        elif calendars[0].get_param("method") != exp["calendar"]:
            problem(where, f"calendar method {calendars[0].get_param('method')!r} != {exp['calendar']}")
        for p in calendars:
            parts.remove(p)
    for att in exp.get("attachments", []):
        name = att["name"]
        if name is None and "file" in att:
            # A nameless attachment: whatever name it was given, its bytes decide.
            with open(att["file"], "rb") as f:
                want = f.read()
            match = [p for p in parts if (p.get_payload(decode=True) or b"") == want]
        else:
            match = [p for p in parts if p.get_filename() == name]
        if not match:
            problem(where, f"attachment {name!r} missing; have {[p.get_filename() for p in parts]}")
            continue
        part = match[0]
        parts.remove(part)
        for key, param in (("created", "creation-date"), ("modified", "modification-date")):
            value = part.get_param(param, header="content-disposition")
            try:
                got = email.utils.parsedate_to_datetime(value).timestamp() if value else None
            except (TypeError, ValueError):
                got = None
            if got != att.get(key):
                problem(where, f"{name!r}: {param} {value!r} is not {att.get(key)}")
        if "message" in att:
            if part.get_content_type() != "message/rfc822":
                problem(where, f"{name!r} is {part.get_content_type()}, not message/rfc822")
                continue
            inner = part.get_payload()[0]
            check_message(inner, att["message"], f"{where} > {name}")
        elif "file" in att:
            with open(att["file"], "rb") as f:
                want = f.read()
            if part.get_content_maintype() == "message":
                # A stored message (or delivery status) carried under its message/*
                # type in 7bit: its bytes stand in the file as they are.
                if want not in RAW or (part.get_content_type() == "message/rfc822" and
                                       not isinstance(part.get_payload()[0], email.message.Message)):
                    problem(where, f"{name!r}: stored message not carried byte for byte")
                continue
            got = part.get_payload(decode=True) or b""
            if got != want:
                problem(where, f"{name!r}: {len(got)} bytes differ from the {len(want)} the reader gave")
    # The pictures of a rendered RTF body: parts of their own, not attachments
    # of the item. Those the HTML shows are referred to by their Content-ID.
    html_refs = {urllib.parse.unquote(r).lower() for r in re.findall(r"(?i)cid:([^\"'()<>\s]+)", body.get_content())}
    for extra in list(parts):
        cid = urllib.parse.unquote(str(extra.get("Content-ID", "")).strip().strip("<>")).lower()
        if re.fullmatch(r"image\d+\.[0-9a-f]+@mailvane\.invalid", cid) and \
                re.fullmatch(r"picture\d+\.\w+", extra.get_filename() or ""):
            if extra.get_content_disposition() == "inline" and cid not in html_refs:
                problem(where, f"picture {extra.get_filename()!r} is inline but the HTML does not show it")
            parts.remove(extra)
    for extra in parts:
        problem(where, f"unexpected part {extra.get_content_type()} {extra.get_filename()!r}")


def check_report(msg, exp, where):
    """A report is multipart/report of its body, its machine part and perhaps
    the original; the machine part's groups name the expected recipients.
    Returns the machine part (None for a letter)."""
    if exp is None:
        if msg.get_content_type() == "multipart/report":
            problem(where, "a letter written as multipart/report")
        return None
    if msg.get_content_type() != "multipart/report" or msg.get_param("report-type") != exp["type"]:
        problem(where, f"report written as {msg.get_content_type()}; report-type={msg.get_param('report-type')}")
        return None
    parts = list(msg.iter_parts())
    machine = parts[1] if len(parts) in (2, 3) else None
    if machine is None or machine.get_content_type() != "message/" + exp["type"]:
        problem(where, f"second part is not message/{exp['type']}")
        return None
    groups = machine.get_payload()
    if exp["type"] == "delivery-status":
        if not groups or groups[0]["Reporting-MTA"] is None:
            problem(where, "no Reporting-MTA")
        groups = groups[1:]
        needed = ("Action", "Status")
    else:
        needed = ("Disposition",)
    got = [str(g["Final-Recipient"] or "") for g in groups]
    want = ["rfc822; " + r for r in exp["recipients"]]
    if got != want:
        problem(where, f"Final-Recipient {got} != {want}")
    for g in groups:
        for field in needed:
            if not g[field]:
                problem(where, f"recipient {g['Final-Recipient']} has no {field}")
    return machine


def python_reading(msg):
    """From, To, Cc as (name, address), Subject, and every part's file name, as the
    email package decodes them; message/rfc822 parts are read in turn."""
    def mailboxes(field):
        return [[a.display_name, a.addr_spec] for v in msg.get_all(field) or [] for a in v.addresses]
    parts = []
    for part in leaf_parts(msg):
        inner = part.get_payload()[0] if part.get_content_type() == "message/rfc822" else None
        dates = [part.get_param(p, header="content-disposition") for p in ("creation-date", "modification-date")]
        parts.append([part.get_filename(), python_reading(inner) if inner is not None else None, dates])
    reading = {field: mailboxes(field) for field in ADDRESS_FIELDS}
    reading.update({"subject": str(msg["Subject"] or ""), "parts": parts})
    return reading


def gmime_reading(message):
    """The same fields as python_reading, as GMime decodes them."""
    from gi.repository import GMime

    def mailboxes(address_list):
        count = address_list.length() if address_list else 0
        return [[a.get_name() or "", a.get_addr()] for a in map(address_list.get_address, range(count))]

    lists = {"From": message.get_from(), "Sender": message.get_sender(), "Reply-To": message.get_reply_to(),
             "To": message.get_to(), "Cc": message.get_cc(), "Bcc": message.get_bcc()}

    def leaves(obj):
        if isinstance(obj, GMime.Multipart):
            for i in range(obj.get_count()):
                yield from leaves(obj.get_part(i))
        elif obj is not None:
            yield obj

    parts = []
    for obj in leaves(message.get_mime_part()):
        if isinstance(obj, GMime.Part):
            name = obj.get_filename()
        else:
            name = obj.get_content_disposition_parameter("filename") or obj.get_content_type_parameter("name")
        inner = obj.get_message() if isinstance(obj, GMime.MessagePart) else None
        disposition = obj.get_content_disposition()
        dates = [disposition.get_parameter(p) if disposition else None for p in ("creation-date", "modification-date")]
        parts.append([name, gmime_reading(inner) if inner is not None else None, dates])
    reading = {field: mailboxes(lists[field]) for field in ADDRESS_FIELDS}
    reading.update({"subject": message.get_subject() or "", "parts": parts})
    return reading


def python_keeps_blank_between_encoded_words():
    """True for an email package with CPython gh-128110 (a display name of two
    encoded words keeps the blank between them)."""
    probe = email.message_from_bytes(b"To: =?utf-8?q?a_?= =?utf-8?q?b?= <x@example.com>\r\n\r\n",
                                     policy=email.policy.default)
    return probe["To"].addresses[0].display_name == "a  b"


def compare_readers(data, msg):
    if gi is None:
        print("check_eml.py: no gi module (python3-gi, gir1.2-gmime-3.0): GMime reading skipped", file=sys.stderr)
        return
    gi.require_version("GMime", "3.0")
    from gi.repository import GMime
    GMime.init()
    parser = GMime.Parser.new_with_stream(GMime.StreamMem.new_with_buffer(data))
    theirs = gmime_reading(parser.construct_message(None))
    ours = python_reading(msg)

    keeps_blank = python_keeps_blank_between_encoded_words()

    def walk(a, b, where):
        for field in ADDRESS_FIELDS + ("subject",):
            ours, theirs = a[field], b[field]
            if field != "subject" and keeps_blank:
                ours = [[re.sub(r"  +", " ", name), addr] for name, addr in ours]
                theirs = [[re.sub(r"  +", " ", name), addr] for name, addr in theirs]
            if ours != theirs:
                problem(where, f"GMime reads {field} {b[field]!r}, email package {a[field]!r}")
        if [n for n, _, _ in a["parts"]] != [n for n, _, _ in b["parts"]]:
            problem(where, f"GMime reads part names {[n for n, _, _ in b['parts']]!r}, "
                           f"email package {[n for n, _, _ in a['parts']]!r}")
        if [d for _, _, d in a["parts"]] != [d for _, _, d in b["parts"]]:
            problem(where, f"GMime reads part dates {[d for _, _, d in b['parts']]!r}, "
                           f"email package {[d for _, _, d in a['parts']]!r}")
        for (name, x, _), (_, y, _) in zip(a["parts"], b["parts"]):
            if x is not None and y is not None:
                walk(x, y, f"{where} > {name}")

    walk(ours, theirs, "message")


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    global RAW
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    RAW = data
    for i, line in enumerate(data.split(b"\r\n")):
        if b"\n" in line or b"\r" in line:
            problem("file", f"line {i + 1} has a bare CR or LF")
            break
        if len(line) > 998:
            problem("file", f"line {i + 1} is {len(line)} characters long")
            break
    with open(sys.argv[2], encoding="utf-8") as f:
        exp = json.load(f)
    msg = email.message_from_bytes(data, policy=email.policy.default)
    check_message(msg, exp, "message")
    compare_readers(data, msg)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
