#!/usr/bin/env python3
"""The report command on a small phone whose texts try to break the pages and
the table: records.csv is read back with Python's csv module, every page is
loaded in headless Chromium and its DOM is checked for the tables, the counts,
the links (each leads to a written file, nothing to elsewhere) and the hostile
body, which must arrive as text and never as markup. The same phone split into
pages of one row, the filter box and its #find= address, the case details and
--utc are checked too.

usage: check_report.py PATH_TO_FENNARO_RECOVER
"""
import csv
import hashlib
import html.parser
import os
import posixpath
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import urllib.parse

HEADER = ("kind,deleted,evidence,name,number,date,date_ms,direction,text,"
          "file,page,offset,frame").split(",")
# Markup, quotes, commas, line breaks, a NUL and a byte that is not UTF-8.
NASTY = (b"<script>document.title='owned'</script> \"quoted\", comma\r\nnext\nline "
         b"\x00 bad \xff end")
# What the report shows of it: the NUL as its symbol, the bad byte as U+FFFD.
NASTY_SHOWN = NASTY.replace(b"\x00", "\u2400".encode()).replace(
    b"\xff", "\ufffd".encode()).decode("utf-8")


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def make_phone(folder):
    """Writes contacts2.db and mmssms.db as a phone keeps them, then deletes
    a contact, a field of a live contact and two messages."""
    contacts = sqlite3.connect(os.path.join(folder, "contacts2.db"))
    contacts.executescript("""
        PRAGMA secure_delete=OFF; PRAGMA journal_mode=WAL;
        CREATE TABLE contacts (_id INTEGER PRIMARY KEY, name_raw_contact_id INTEGER);
        CREATE TABLE raw_contacts (_id INTEGER PRIMARY KEY, deleted INTEGER,
            display_name TEXT, display_name_source INTEGER);
        CREATE TABLE mimetypes (_id INTEGER PRIMARY KEY, mimetype TEXT);
        CREATE TABLE data (_id INTEGER PRIMARY KEY, mimetype_id INTEGER,
            raw_contact_id INTEGER, data1 TEXT, data2 TEXT, data4 TEXT, data5 TEXT);
        INSERT INTO mimetypes VALUES (1, 'vnd.android.cursor.item/name'),
            (2, 'vnd.android.cursor.item/phone_v2'), (3, 'vnd.android.cursor.item/email_v2'),
            (4, 'vnd.android.cursor.item/contact_event'), (5, 'vnd.android.cursor.item/website');
        INSERT INTO contacts VALUES (1, 1), (2, 2);
        INSERT INTO raw_contacts VALUES (1, 0, 'Ann <b>Lee</b>', 40), (2, 0, 'Gone, "Guy"', 40);
        INSERT INTO data VALUES (1, 1, 1, 'Ann <b>Lee</b>', NULL, NULL, NULL),
            (2, 2, 1, '18950061093', '2', NULL, NULL),
            (3, 5, 1, 'https://ann.example/?a=1&b=2', NULL, NULL, NULL),
            (4, 1, 2, 'Gone, "Guy"', NULL, NULL, NULL),
            (5, 2, 2, '5550199', '1', NULL, NULL),
            (6, 4, 2, '1974-01-28', '3', NULL, NULL);
    """)
    contacts.executescript("""
        DELETE FROM data WHERE raw_contact_id = 2 OR _id = 3;
        DELETE FROM raw_contacts WHERE _id = 2; DELETE FROM contacts WHERE _id = 2;
    """)
    contacts.close()

    sms = sqlite3.connect(os.path.join(folder, "mmssms.db"))
    sms.executescript("""
        PRAGMA secure_delete=OFF; PRAGMA journal_mode=WAL;
        CREATE TABLE threads (_id INTEGER PRIMARY KEY);
        CREATE TABLE canonical_addresses (_id INTEGER PRIMARY KEY, address TEXT);
        CREATE TABLE sms (_id INTEGER PRIMARY KEY, thread_id INTEGER, address TEXT,
            person INTEGER, date INTEGER, date_sent INTEGER, read INTEGER, type INTEGER,
            body TEXT);
        INSERT INTO threads VALUES (1);
        INSERT INTO canonical_addresses VALUES (1, '18950061093');
        INSERT INTO sms VALUES (1, 1, '18950061093', 1, 1500000000000, 0, 1, 1, 'live hello');
    """)
    sms.execute("INSERT INTO sms VALUES (2, 1, '+8618950061093', 0, 1500000100000, 0, 1, 1, "
                "CAST(? AS TEXT))", (NASTY,))
    sms.execute("INSERT INTO sms VALUES (3, 9, '10086', 0, 1500000200000, 0, 1, 2, 'to a code')")
    sms.commit()
    sms.execute("DELETE FROM sms WHERE _id IN (2, 3)")
    sms.commit()
    sms.close()


def check_csv(path):
    with open(path, "rb") as raw:
        if not raw.read(3) == b"\xef\xbb\xbf":
            fail("records.csv has no UTF-8 byte order mark")
    with open(path, newline="", encoding="utf-8-sig") as table:
        rows = list(csv.reader(table, strict=True))
    if rows[0] != HEADER:
        fail("header row is %r" % rows[0])
    records = [dict(zip(HEADER, row)) for row in rows[1:]]
    if any(len(row) != len(HEADER) for row in rows):
        fail("a row with another number of columns")
    nasty = [r for r in records if r["text"] == NASTY_SHOWN]
    if len(nasty) != 1:
        fail("the hostile body did not come back intact: %r" %
             [r["text"] for r in records if r["kind"] == "message"])
    row = nasty[0]
    if (row["kind"], row["deleted"], row["direction"], row["date_ms"]) != (
            "message", "1", "received", "1500000100000"):
        fail("the deleted message's columns: %r" % row)
    if not row["file"].startswith("mmssms.db") or not row["page"] or not row["offset"]:
        fail("the deleted message has no place: %r" % row)
    if row["name"] != "Ann <b>Lee</b>":
        fail("the deleted message is not named by its number: %r" % row["name"])
    live = [r for r in records if r["text"] == "live hello"]
    if len(live) != 1 or live[0]["deleted"] != "0" or live[0]["file"] or live[0]["page"]:
        fail("the live message's row: %r" % live)
    birthday = [r for r in records if r["text"] == "1974-01-28"]
    if len(birthday) != 1 or birthday[0]["kind"] != "contact" or birthday[0]["deleted"] != "1" \
            or birthday[0]["name"] != 'Gone, "Guy"' or birthday[0]["number"] != "5550199":
        fail("the deleted contact's birthday: %r" % birthday)
    website = [r for r in records if r["text"] == "https://ann.example/?a=1&b=2"]
    if len(website) != 1 or website[0]["deleted"] != "1" or website[0]["name"] != "Ann <b>Lee</b>":
        fail("the deleted field of a live contact: %r" % website)


class Dom(html.parser.HTMLParser):
    """The parts of the dumped DOM the checks read."""

    def __init__(self):
        super().__init__()
        self.tags = []
        self.ids = set()
        self.cells = []
        self.count_rows = {}
        self._row = None
        self._cell = None
        # Every address the page refers to, the texts of its scripts, its
        # title, and per table id its data rows as (hidden, cell texts).
        self.addresses = []
        self.scripts = []
        self.title = ""
        self.rows = {}
        self._table = None
        self._hidden = False
        self._script = None
        self._in_title = False

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        self.tags.append(tag)
        if "id" in attrs:
            self.ids.add(attrs["id"])
        for name in ("href", "src", "action", "data"):
            if attrs.get(name) is not None:
                self.addresses.append(attrs[name])
        if tag == "table":
            self._table = attrs.get("id", "")
            self.rows.setdefault(self._table, [])
        if tag == "script":
            self._script = ""
        if tag == "title":
            self._in_title = True
        if tag == "tr":
            self._row = attrs.get("data-category")
            self._row_cells = []
            self._hidden = "hidden" in attrs
        if tag == "td":
            self._cell = ""

    def handle_endtag(self, tag):
        if tag == "td" and self._cell is not None:
            self.cells.append(self._cell)
            self._row_cells.append(self._cell)
            self._cell = None
        if tag == "tr":
            if self._table is not None and self._row_cells:
                self.rows[self._table].append((self._hidden, self._row_cells))
            if self._row:
                self.count_rows[self._row] = self._row_cells[1:]
            self._row = None
            self._row_cells = []
        if tag == "table":
            self._table = None
        if tag == "script" and self._script is not None:
            self.scripts.append(self._script)
            self._script = None
        if tag == "title":
            self._in_title = False

    def handle_data(self, data):
        if self._cell is not None:
            self._cell += data
        if self._script is not None:
            self._script += data
        if self._in_title:
            self.title += data


def make_call_log(folder):
    """Writes a small calllog.db beside contacts2.db, as Android 7 and later
    keep it; returns its SHA-256."""
    path = os.path.join(folder, "calllog.db")
    calls = sqlite3.connect(path)
    calls.executescript("""
        CREATE TABLE calls (_id INTEGER PRIMARY KEY AUTOINCREMENT, number TEXT,
            date INTEGER, duration INTEGER, type INTEGER, name TEXT);
        INSERT INTO calls VALUES (1, '18950061093', 1388570400000, 65, 1, 'Ann');
    """)
    calls.close()
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def load(page, work, fragment=""):
    """Loads a page in headless Chromium, its script run, and returns its DOM."""
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    if not browser:
        fail("no chromium: scripts/setup installs it")
    profile = os.path.join(work, "chromium-profile")
    result = subprocess.run(
        [browser, "--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + profile,
         "--virtual-time-budget=2000", "--dump-dom", "file://" + page + fragment],
        capture_output=True, timeout=120)
    if result.returncode != 0 or not result.stdout:
        fail("chromium could not load %s: %s" % (page, result.stderr.decode(errors="replace")))
    dom = Dom()
    dom.feed(result.stdout.decode("utf-8"))
    return dom


def written_pages(out):
    """Returns the pages written below out, relative to it."""
    pages = []
    for folder, _, files in os.walk(out):
        for name in files:
            if name.endswith(".html"):
                pages.append(os.path.relpath(os.path.join(folder, name), out))
    return sorted(pages)


def check_pages(out, work):
    """Loads every page of a report; checks that each has the page's own
    script alone, that every address it holds is a relative one that leads to
    a written file, and that every page can be reached from report.html.
    Returns the DOMs by page."""
    pages = written_pages(out)
    doms = {}
    links = {}
    for page in pages:
        dom = load(os.path.join(out, page), work)
        doms[page] = dom
        if len(dom.scripts) != 1 or not dom.scripts[0].startswith("(function(){'use strict'"):
            fail("%s: a script element other than the page's own: %r" % (page, dom.scripts))
        if dom.title == "owned" or "zone" not in dom.ids:
            fail("%s: title %r, or no time zone line" % (page, dom.title))
        links[page] = set()
        for address in dom.addresses:
            parts = urllib.parse.urlsplit(address)
            if parts.scheme or parts.netloc or address.startswith("/"):
                fail("%s refers to %r, outside the report" % (page, address))
            if not parts.path:
                continue
            target = posixpath.normpath(posixpath.join(posixpath.dirname(page),
                                                       urllib.parse.unquote(parts.path)))
            if not os.path.isfile(os.path.join(out, target)):
                fail("%s links %r, which was not written" % (page, address))
            links[page].add(target)
    reached, todo = {"report.html"}, ["report.html"]
    while todo:
        for target in links.get(todo.pop(), ()):
            if target.endswith(".html") and target not in reached:
                reached.add(target)
                todo.append(target)
    if reached != set(pages):
        fail("pages not reached from report.html: %r" % sorted(set(pages) - reached))
    return doms


def conversation_with(doms, text):
    """Returns the conversation page whose messages hold a cell text."""
    for page, dom in doms.items():
        if page.startswith("conversations/") and text in dom.cells:
            return page
    fail("no conversation page holds %r" % text)


def check_page(out, work, call_log_hash):
    doms = check_pages(out, work)
    entry = doms["report.html"]
    for table in ("copies", "counts", "conversations"):
        if table not in entry.ids:
            fail("no table %s in the entry page" % table)
    if "contacts" not in doms["contacts.html"].ids:
        fail("no contacts table")
    expected = {"contacts": ["1", "1"], "contact-fields": ["0", "1"],
                "messages": ["1", "2"], "conversations": ["2", "0"]}
    for category, counts in expected.items():
        if entry.count_rows.get(category) != counts:
            fail("counts of %s: %r" % (category, entry.count_rows.get(category)))
    # The index: a row per conversation with its counts and first and last day.
    # (The index leaves its rows' end tags out: a cell's text may end in the
    # line break before the next row.)
    index = {cells[0]: [c.strip() for c in cells[1:]] for _, cells in entry.rows["conversations"]}
    if index.get("Ann <b>Lee</b>") != ["18950061093", "1", "1", "2017-07-14", "2017-07-14"]:
        fail("the index row of Ann's conversation: %r" % index)
    # The browser normalises CR LF to LF in text; everything else arrives.
    hostile = conversation_with(doms, NASTY_SHOWN.replace("\r\n", "\n"))
    # Deep mode's heading cell holds the name, then the contact's state.
    names = [c for c in doms["contacts.html"].cells if c.startswith("Ann <b>Lee</b>")]
    if not names or names[0][len("Ann <b>Lee</b>"):] not in ("", "deleted", "live+deleted", "live"):
        fail("the contact's name lost its characters: %r" % names)
    if not doms[hostile].title.startswith("Ann <b>Lee</b>"):
        fail("the conversation page's title: %r" % doms[hostile].title)
    # The call log beside the contacts database is one of the copies, with
    # its hash; the messaging app's store, absent, is not named.
    if not any(c.endswith("/calllog.db") for c in entry.cells) or call_log_hash not in entry.cells:
        fail("the copies do not name calllog.db with its hash")
    if any(c.endswith("/bugle_db") for c in entry.cells):
        fail("an absent bugle_db is named by the command line")
    if "calls" not in entry.count_rows or "calls" not in doms["calls.html"].ids:
        fail("no call counts or call log table")
    # The timeline: every dated event, newest first, the call among them.
    events = [cells for _, cells in doms["timeline.html"].rows["timeline"]]
    dates = [cells[0] for cells in events]
    if len(events) != 4 or dates != sorted(dates, reverse=True) or \
            not events[-1][1].startswith("Call") or "deleted" not in events[0][5]:
        fail("the timeline: %r" % events)


def check_split(program, phone, work):
    """The same phone with pages of one row: contacts, conversations, calls
    and a timeline split by month, every part linked."""
    out = os.path.join(work, "split")
    os.mkdir(out)
    run = subprocess.run([program, "report", "--deep", os.path.join(phone, "contacts2.db"),
                          os.path.join(phone, "mmssms.db"), out], capture_output=True,
                         timeout=120, env=dict(os.environ, FENNARO_REPORT_PAGE_ROWS="1"))
    if run.returncode != 0:
        fail("split report exited with %d: %s" % (run.returncode, run.stderr.decode()))
    doms = check_pages(out, work)
    pages = set(doms)
    for page in ("contacts-2.html", "conversations-2.html",
                 "timeline-2017-07-3.html", "timeline-2014-01.html"):
        if page not in pages:
            fail("no page %s among %r" % (page, sorted(pages)))
    # The conversation of two messages (its number follows the list's order
    # by state) is split into two pages.
    if not any(p.startswith("conversations/c") and p.endswith("-2.html") for p in pages):
        fail("no conversation split into pages among %r" % sorted(pages))
    if "contacts-3.html" in pages or "calls-2.html" in pages:
        fail("more parts than rows: %r" % sorted(pages))
    for page, dom in doms.items():
        for table in ("contacts", "conversations", "messages", "timeline", "calls"):
            # A contact takes a row per field; its first row has its name.
            rows = [cells for _, cells in dom.rows.get(table, [])
                    if table != "contacts" or cells[0]]
            if len(rows) > 1:
                fail("%s: %d rows in %s" % (page, len(rows), table))
    months = [cells[0] for _, cells in doms["timeline.html"].rows["months"]]
    if months != ["2017-07", "2014-01"]:
        fail("the timeline's months: %r" % months)


def check_filter(out, work):
    """A #find= address opens the page filtered: rows that hold the text,
    case aside, stay; the others are hidden."""
    page = os.path.join(out, "timeline.html")
    for fragment, kept in (("#find=LIVE%20Hello", ["live hello"]),
                           ("#find=%2B86189", ["<script>"]), ("#find=", None)):
        dom = load(page, work, fragment)
        rows = dom.rows["timeline"]
        shown = [cells for hidden, cells in rows if not hidden]
        if kept is None:
            if len(shown) != len(rows) or not rows:
                fail("an empty filter hid rows: %r" % rows)
            continue
        if len(shown) != len(kept) or not all(
                word in cells[4] for word, cells in zip(kept, shown)) or len(rows) <= len(kept):
            fail("%s shows %r of %r" % (fragment, shown, rows))
    # A contact's rows go with its name, and its name with each of them.
    for fragment in ("#find=ann%20%3Cb", "#find=ann.example"):
        dom = load(os.path.join(out, "contacts.html"), work, fragment)
        shown = [cells[:2] for hidden, cells in dom.rows["contacts"] if not hidden]
        if shown != [["Ann <b>Lee</b>live+deleted", "Mobile"], ["", "Website"]]:
            fail("contacts.html%s shows %r" % (fragment, shown))


def check_case_and_zone(program, phone, work):
    """The case details arrive as text; the dates are the computer's local
    time, said so, or UTC with --utc (the table's date column too)."""
    case = "<b>Case</b> 17/2026 & 'x'"
    examiner = "--utc"
    notes = "first line\n<script>document.title='owned'</script>"
    runs = {}
    for name, extra in (("local", []), ("utc", ["--utc"])):
        out = os.path.join(work, name)
        os.mkdir(out)
        run = subprocess.run([program, "report", os.path.join(phone, "contacts2.db"),
                              os.path.join(phone, "mmssms.db"), out, "--case", case,
                              "--examiner", examiner, "--notes=" + notes] + extra,
                             capture_output=True, timeout=120,
                             env=dict(os.environ, TZ="Europe/Berlin"))
        if run.returncode != 0:
            fail("%s report exited with %d: %s" % (name, run.returncode, run.stderr.decode()))
        dom = load(os.path.join(out, "report.html"), work)
        details = [cells for _, cells in dom.rows["case"]]
        if details != [[case], [examiner], [notes]] or dom.title == "owned":
            fail("the case details: %r" % details)
        with open(os.path.join(out, "records.csv"), newline="", encoding="utf-8-sig") as t:
            rows = [r for r in csv.reader(t) if r[8] == "live hello"]
        with open(os.path.join(out, "timeline.html"), encoding="utf-8") as t:
            runs[name] = (dom, rows, t.read())
    local, utc = runs["local"], runs["utc"]
    if "UTC+01:00 (Europe/Berlin)" not in local[2] or "UTC+02:00" not in local[2]:
        fail("the local page does not name its zone")
    if "Times in UTC." not in utc[2] or "Europe/Berlin" in utc[2]:
        fail("the --utc page does not say UTC")
    if [r[5:7] for r in local[1]] != [["2017-07-14 04:40:00", "1500000000000"]] or \
            [r[5:7] for r in utc[1]] != [["2017-07-14 02:40:00", "1500000000000"]]:
        fail("dates of the live message: %r / %r" % (local[1], utc[1]))
    if "2017-07-14 02:40:00" not in utc[2] or "2017-07-14 04:40:00" not in local[2]:
        fail("the timeline's dates do not follow --utc")


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    program = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="fennaro-report-") as work:
        phone = os.path.join(work, "phone")
        out = os.path.join(work, "out")
        os.mkdir(phone)
        os.mkdir(out)
        make_phone(phone)
        call_log_hash = make_call_log(phone)
        run = subprocess.run([program, "report", "--deep", os.path.join(phone, "contacts2.db"),
                              os.path.join(phone, "mmssms.db"), out],
                             capture_output=True, timeout=120)
        if run.returncode != 0:
            fail("report exited with %d: %s" % (run.returncode, run.stderr.decode()))
        check_csv(os.path.join(out, "records.csv"))
        check_page(out, work, call_log_hash)
        check_filter(out, work)
        check_split(program, phone, work)
        check_case_and_zone(program, phone, work)
        # Without --deep: the classic engine's records, which know no place;
        # the table has the same header and every live record.
        classic = os.path.join(work, "classic")
        os.mkdir(classic)
        run = subprocess.run([program, "report", os.path.join(phone, "contacts2.db"),
                              os.path.join(phone, "mmssms.db"), classic],
                             capture_output=True, timeout=120)
        if run.returncode != 0:
            fail("classic report exited with %d: %s" % (run.returncode, run.stderr.decode()))
        with open(os.path.join(classic, "records.csv"), newline="", encoding="utf-8-sig") as t:
            rows = list(csv.reader(t, strict=True))
        if rows[0] != HEADER or not any(r[8] == "live hello" and r[1] == "0" for r in rows[1:]):
            fail("classic table: %r" % rows[:4])
        if any(r[1] == "1" and (r[10] or r[11]) for r in rows[1:]):
            fail("a classic deleted record claims a place")
        with open(os.path.join(classic, "report.html"), encoding="utf-8") as page:
            classic_page = page.read()
        if "calllog.db" in classic_page or "Call log" in classic_page:
            fail("the classic report names the call log")
        # An output folder that does not exist is named, and nothing is made.
        bad = subprocess.run([program, "report", os.path.join(phone, "contacts2.db"),
                              os.path.join(phone, "mmssms.db"), os.path.join(work, "nope")],
                             capture_output=True, timeout=60)
        if bad.returncode != 1 or b"nope" not in bad.stderr:
            fail("a missing folder: status %d, %r" % (bad.returncode, bad.stderr))
    print("report: csv and pages checked")
    return 0


if __name__ == "__main__":
    sys.exit(main())
