#!/usr/bin/env python3
"""Checks the calendar part of one .eml written by quorvex.

Usage: check_calendar.py <file.eml> <expected.json> [--show]

The text/calendar alternative is read with python3-icalendar (its VTIMEZONE
turned into a time zone by the library, so the zone we write is what is
checked) and compared with expected.json:
  method       REQUEST, CANCEL or REPLY
  summary, location, status   texts (location may be absent)
  start, end   the first event's start and end, "YYYY-MM-DDTHH:MM:SSZ" in UTC,
               or "YYYY-MM-DD" for an all-day event
  organizer    address; attendees: [[address, ROLE or null, PARTSTAT], ...]
  rule         the RRULE as Outlook would mean it (compared as parsed), or null
  occurrences  every occurrence's start in UTC (as start) that the rule, its
               EXDATEs and its RECURRENCE-ID events give, in order
  exceptions   {"<RECURRENCE-ID in UTC>": {"start", "end", "summary", "location"}}
  recurrence_id  for an item about one occurrence of a series: its one event's
               RECURRENCE-ID in UTC
  names        {address: CN or null} of the organizer and attendees (absent:
               not checked)
Also checked: the calendar is the message's only text/calendar part (a second
one, attached, is drawn as a second invitation); the text is UTF-8 with CR LF lines of at most 75 octets. --show prints the calendar text and the events as read.
Prints one line per problem and exits with 1 when there is any.
"""
import datetime
import email
import email.policy
import json
import sys

import icalendar
from dateutil import rrule

problems = []


def problem(text):
    problems.append(text)


def calendar_parts(msg):
    return [part for part in msg.walk() if part.get_content_type() == "text/calendar"]


def physical(raw):
    try:
        raw.decode("utf-8")
    except UnicodeDecodeError as e:
        problem(f"calendar is not UTF-8: {e}")
    if not raw.endswith(b"\r\n"):
        problem("calendar does not end in CR LF")
    for i, line in enumerate(raw[:-2].split(b"\r\n")):
        if b"\n" in line or b"\r" in line:
            problem(f"calendar line {i + 1} has a bare CR or LF")
        if len(line) > 75:
            problem(f"calendar line {i + 1} is {len(line)} octets long")


def zones(cal):
    return {str(tz["TZID"]): tz.to_tz() for tz in cal.walk("VTIMEZONE")}


def local_value(prop):
    """The written value: a date, or a naive local date-time with its TZID, or a UTC one."""
    text = prop.to_ical().decode()
    tzid = prop.params.get("TZID")
    if len(text) == 8:
        return datetime.datetime.strptime(text, "%Y%m%d").date(), None
    if text.endswith("Z"):
        return datetime.datetime.strptime(text, "%Y%m%dT%H%M%SZ").replace(tzinfo=datetime.timezone.utc), None
    return datetime.datetime.strptime(text, "%Y%m%dT%H%M%S"), tzid


def to_utc(value, tzid, tzs):
    if isinstance(value, datetime.date) and not isinstance(value, datetime.datetime):
        return value.isoformat()
    if value.tzinfo is None:
        if tzid not in tzs:
            problem(f"TZID {tzid!r} has no VTIMEZONE")
            return None
        value = tzs[tzid].localize(value)
    return value.astimezone(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


def values(prop):
    return prop if isinstance(prop, list) else [prop]


def occurrences(master, overrides, tzs):
    start, tzid = local_value(master["DTSTART"])
    if "RRULE" not in master:
        found = [to_utc(start, tzid, tzs)]
    else:
        rule = master["RRULE"]
        naive = start if isinstance(start, datetime.datetime) else datetime.datetime.combine(start, datetime.time())
        if "UNTIL" in rule:
            until = rule["UNTIL"][0]
            if isinstance(until, datetime.datetime) and until.tzinfo is not None:
                until = until.astimezone(tzs[tzid] if tzid else datetime.timezone.utc).replace(tzinfo=None)
            elif not isinstance(until, datetime.datetime):
                until = datetime.datetime.combine(until, datetime.time())
            rule = icalendar.vRecur(rule)
            rule["UNTIL"] = [until]
        rules = rrule.rrulestr(rule.to_ical().decode(), dtstart=naive.replace(tzinfo=None))
        excluded = set()
        for prop in values(master.get("EXDATE", [])):
            for dt in prop.dts:
                excluded.add(dt.dt.replace(tzinfo=None) if isinstance(dt.dt, datetime.datetime) else
                             datetime.datetime.combine(dt.dt, datetime.time()))
        count = 0
        found = []
        for dt in rules:
            count += 1
            if count > 1000:
                problem("rule gives more than 1000 occurrences")
                break
            if dt in excluded:
                continue
            value = dt if isinstance(start, datetime.datetime) else dt.date()
            found.append(to_utc(value, tzid, tzs))
    for original, event in overrides.items():
        if original not in found:
            problem(f"RECURRENCE-ID {original} is no occurrence of the rule")
            continue
        found[found.index(original)] = to_utc(*local_value(event["DTSTART"]), tzs)
    return sorted(found)


def address(prop):
    text = str(prop)
    return text[7:] if text.lower().startswith("mailto:") else text


def show(cal, tzs):
    for event in cal.walk("VEVENT"):
        print("VEVENT")
        for name in ("SUMMARY", "LOCATION", "DTSTART", "DTEND", "RECURRENCE-ID", "RRULE", "EXDATE", "ORGANIZER",
                     "ATTENDEE", "STATUS", "UID", "SEQUENCE"):
            for prop in values(event.get(name, [])):
                if name in ("DTSTART", "DTEND", "RECURRENCE-ID"):
                    value, tzid = local_value(prop)
                    print(f"  {name:13} {value} {tzid or ''} = {to_utc(value, tzid, tzs)}")
                elif name == "EXDATE":
                    print(f"  {name:13} {', '.join(str(d.dt) for d in prop.dts)}")
                elif name == "RRULE":
                    print(f"  {name:13} {prop.to_ical().decode()}")
                else:
                    extra = " ".join(f"{k}={v}" for k, v in getattr(prop, "params", {}).items())
                    print(f"  {name:13} {prop} {extra}".rstrip())


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__)
        return 2
    with open(sys.argv[1], "rb") as f:
        msg = email.message_from_bytes(f.read(), policy=email.policy.default)
    with open(sys.argv[2], encoding="utf-8") as f:
        exp = json.load(f)
    calendars = calendar_parts(msg)
    if len(calendars) != 1:
        problem(f"{len(calendars)} text/calendar parts, not one")
        return report()
    part = calendars[0]
    parent = [p for p in msg.walk() if p.is_multipart() and part in p.get_payload()]
    if not parent or parent[0].get_content_type() != "multipart/alternative" or parent[0].get_payload()[-1] is not part:
        problem("the calendar is not the last part of a multipart/alternative")
    if part.get_param("method") != exp["method"]:
        problem(f"method parameter {part.get_param('method')!r} != {exp['method']}")
    if part.get_content_disposition() == "attachment":
        problem("the calendar is written as an attachment")
    raw = part.get_payload(decode=True)
    physical(raw)

    cal = icalendar.Calendar.from_ical(raw.decode("utf-8"))
    tzs = zones(cal)
    if str(cal.get("METHOD")) != exp["method"]:
        problem(f"METHOD {cal.get('METHOD')} != {exp['method']}")
    events = cal.walk("VEVENT")
    masters = [e for e in events if "RECURRENCE-ID" not in e]
    if not masters and len(events) == 1 and "recurrence_id" in exp:
        # One occurrence of a series, named by the occurrence it replaces.
        masters = events
        original = to_utc(*local_value(events[0]["RECURRENCE-ID"]), tzs)
        if original != exp["recurrence_id"]:
            problem(f"RECURRENCE-ID {original} != {exp['recurrence_id']}")
    elif "recurrence_id" in exp:
        problem("no lone occurrence event")
    if len(masters) != 1:
        problem(f"{len(masters)} events without RECURRENCE-ID")
        return report()
    master = masters[0]
    overrides = {to_utc(*local_value(e["RECURRENCE-ID"]), tzs): e for e in events
                 if "RECURRENCE-ID" in e and e is not master}
    if len({str(e["UID"]) for e in events}) != 1:
        problem("events do not share one UID")
    for field in ("summary", "location", "status"):
        got = str(master.get(field.upper())) if field.upper() in master else None
        if got != exp.get(field):
            problem(f"{field} {got!r} != {exp.get(field)!r}")
    for field in ("start", "end"):
        got = to_utc(*local_value(master["DT" + field.upper()]), tzs)
        if got != exp[field]:
            problem(f"{field} {got} != {exp[field]}")
    if address(master.get("ORGANIZER", "")) != exp["organizer"]:
        problem(f"organizer {master.get('ORGANIZER')} != {exp['organizer']}")
    attendees = [[address(a), a.params.get("ROLE"), a.params.get("PARTSTAT")]
                 for a in values(master.get("ATTENDEE", []))]
    if attendees != exp["attendees"]:
        problem(f"attendees {attendees} != {exp['attendees']}")
    if "names" in exp:
        people = values(master.get("ORGANIZER", [])) + values(master.get("ATTENDEE", []))
        names = {address(p): (str(p.params["CN"]) if "CN" in p.params else None) for p in people}
        if names != exp["names"]:
            problem(f"names {names} != {exp['names']}")
    want_rule = exp.get("rule")
    got_rule = master.get("RRULE")
    if (want_rule is None) != (got_rule is None) or (
            want_rule is not None and dict(got_rule) != dict(icalendar.vRecur.from_ical(want_rule))):
        problem(f"rule {got_rule.to_ical().decode() if got_rule else None} != {want_rule}")
    got = occurrences(master, overrides, tzs)
    if got != exp["occurrences"]:
        problem(f"occurrences {got} != {exp['occurrences']}")
    for original, want in exp.get("exceptions", {}).items():
        event = overrides.get(original)
        if event is None:
            problem(f"no event for the occurrence of {original}")
            continue
        for field in ("start", "end"):
            value = to_utc(*local_value(event["DT" + field.upper()]), tzs)
            if value != want[field]:
                problem(f"occurrence {original}: {field} {value} != {want[field]}")
        for field in ("summary", "location"):
            if str(event.get(field.upper())) != want[field]:
                problem(f"occurrence {original}: {field} {event.get(field.upper())} != {want[field]}")
    if len(overrides) != len(exp.get("exceptions", {})):
        problem(f"{len(overrides)} changed occurrences, not {len(exp.get('exceptions', {}))}")
    if "--show" in sys.argv:
        print(raw.decode("utf-8"), end="")
        show(cal, tzs)
    return report()


def report():
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
