#!/usr/bin/env python3
"""Does the Markdown form keep a page's structure? Checked over a folder of HTML pages.

Each page is handed to `CLI text --main-text --markdown --utf8 FILE --url URL` as a saved
HTTP answer (UTF-8; Markdown for pipelines is UTF-8, so the text is too), the Markdown is rendered to HTML by cmark-gfm with its table extension, and
the rendered structure is held against the page's own:
  tables    every rendered table has a table of the page with the same first row, and as
            many rows and columns as it
  headings  every rendered heading has a heading of the page with the same text and level
  code      every pre of the page whose first line is in the main text is one code block
            of the rendering, with the pre's text

    python3 bench/markdown_check.py build/cli/korvane-cli [FOLDER] [--show N] [FLAG ...]
FOLDER defaults to Python's manual (Debian's python3.11-doc, /usr/share/doc/python3.11/html);
FLAGs go to `text` as well.
"""
import html.parser
import os
import re
import subprocess
import sys
import tempfile

HEAD = b"HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"


def fold(text):
    return re.sub(r"\s+", " ", text.replace("\u00b6", "")).strip()


class Structure(html.parser.HTMLParser):
    """The tables (rows of cell texts), headings (level, text) and pres (text) of a page."""

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.tables, self.headings, self.pres = [], [], []
        self.open_tables, self.heading, self.pre, self.cell, self.skip = [], None, None, None, 0
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        if tag in ("script", "style"):
            self.skip += 1
        elif tag == "table":
            self.open_tables.append([])
        elif tag == "tr" and self.open_tables:
            self.open_tables[-1].append([])
        elif tag in ("td", "th") and self.open_tables and self.open_tables[-1]:
            self.cell = []
            self.open_tables[-1][-1].append(self.cell)
        elif re.fullmatch(r"h[1-6]", tag):
            self.heading = (int(tag[1]), [])
        elif tag == "pre":
            self.pre = []
        elif tag == "br" and self.pre is not None:
            self.pre.append("\n")

    def handle_endtag(self, tag):
        if tag in ("script", "style"):
            self.skip = max(0, self.skip - 1)
        elif tag == "table" and self.open_tables:
            self.tables.append([[fold("".join(c)) for c in row] for row in self.open_tables.pop()])
        elif tag in ("td", "th"):
            self.cell = None
        elif re.fullmatch(r"h[1-6]", tag) and self.heading:
            self.headings.append((self.heading[0], fold("".join(self.heading[1]))))
            self.heading = None
        elif tag == "pre" and self.pre is not None:
            self.pres.append("".join(self.pre))
            self.pre = None

    def handle_data(self, data):
        if self.skip:
            return
        for part in (self.cell, self.heading[1] if self.heading else None, self.pre):
            if part is not None:
                part.append(data)


def code_text(text):
    return "\n".join(line.rstrip() for line in text.strip("\n").split("\n"))


def check(cli, flags, path, url, scratch):
    with open(path, "rb") as f:
        page = f.read()
    answer = os.path.join(scratch, "page.answer")
    with open(answer, "wb") as f:
        f.write(HEAD + page)
    markdown = subprocess.run([cli, "text", "--main-text", "--markdown", "--utf8", *flags, answer,
                               "--url", url],
                              capture_output=True, check=True).stdout
    rendered = subprocess.run(["cmark-gfm", "-e", "table"], input=markdown,
                              capture_output=True, check=True).stdout.decode("utf-8", "replace")
    got = Structure(rendered)
    want = Structure(page.decode("utf-8", "replace"))
    faults = []
    # Tables in page order: each rendered one is a later page table that holds its texts.
    shape_of = lambda t: (len(t), max(map(len, t), default=0))
    at = 0
    for table in got.tables:
        texts = [c for row in table for c in row if c]
        bare = lambda cells: re.sub(r"\s+", "", "\0".join(cells))
        holding = [k for k in range(at, len(want.tables))
                   if all(bare([c]) in bare(x for row in want.tables[k] for x in row)
                          for c in texts)]
        same = [k for k in holding if shape_of(want.tables[k]) == shape_of(table)]
        if same:
            at = same[0] + 1
        else:
            faults.append("table %r: %d x %d, the page's %s" % (
                texts[:2], *shape_of(table), [shape_of(want.tables[k]) for k in holding[:3]]))
    for level, text in got.headings:
        if (level, text) not in want.headings:
            faults.append("heading h%d %r not in the page" % (level, text[:40]))
    lines = set(line.strip() for line in markdown.decode("utf-8", "replace").splitlines())
    blocks = [code_text(p) for p in got.pres]
    for pre in want.pres:
        # A pre is in the main text when its lines of some length are lines of the Markdown
        # ("..." or "}" alone say nothing).
        own = set(line.strip() for line in pre.split("\n") if len(line.strip()) >= 8)
        if own and all(line in lines for line in own):
            if code_text(pre) not in blocks:
                faults.append("pre %r is no code block of its own" % min(own)[:40])
    return len(got.tables), len(got.headings), len(got.pres), faults


def main():
    args = sys.argv[1:]
    if not args:
        sys.exit(__doc__)
    show = 10
    if "--show" in args:
        at = args.index("--show")
        show = int(args[at + 1])
        del args[at:at + 2]
    flags = [a for a in args[1:] if a.startswith("--") and a != "--utf8"]
    args = [a for a in args if not a.startswith("--")]
    cli = args[0]
    folder = args[1] if len(args) > 1 else "/usr/share/doc/python3.11/html"
    pages = sorted(os.path.join(d, f) for d, _, files in os.walk(folder) for f in files
                   if f.endswith(".html"))
    totals = [0, 0, 0]
    faulty = []
    with tempfile.TemporaryDirectory() as scratch:
        for path in pages:
            url = "http://127.0.0.2/" + os.path.relpath(path, folder)
            *counts, faults = check(cli, flags, path, url, scratch)
            totals = [a + b for a, b in zip(totals, counts)]
            if faults:
                faulty.append((path, faults))
    for path, faults in faulty[:show]:
        print(os.path.relpath(path, folder) + ": " + "; ".join(faults[:3]))
    print("%d pages: %d tables, %d headings, %d code blocks rendered; %d pages with a fault" % (
        len(pages), totals[0], totals[1], totals[2], len(faulty)))
    return 1 if faulty else 0


if __name__ == "__main__":
    sys.exit(main())
