#!/usr/bin/env python3
"""Scores Lumora's ranked words against the keywords that page authors wrote themselves.

For every page under FOLDER (.htm, .html, .xhtml, recursively) that carries a non-empty
<meta name="keywords"> tag, a copy of the page without that tag goes into a temporary
folder; lumora-cli lists the words of every copy, and each page gets

  P@10  matches among Lumora's first 10 words / number of those words (0 if none)
  R@20  author words found among Lumora's first 20 words / number of author words

A Lumora word matches an author word when both are equal once lower-cased, or equal
once a final "s" is dropped from one of them (Lumora folds plurals).

Usage:
  python3 tools/score_keywords.py FOLDER [--cli PATH] [--rules classic,today]
                                  [--jobs N] [--json] [--language-from-page]
                                  [--worst N]
  python3 tools/score_keywords.py --self-test

Standard library only.
"""
import argparse
import codecs
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from html.parser import HTMLParser

PAGE_SUFFIXES = (".htm", ".html", ".xhtml")
LUMORA_LANGUAGES = ("en", "fr", "de", "it", "pt", "es")
WORD_RE = re.compile(r"[^\W_]+")
CHARSET_RE = re.compile(r"charset\s*=\s*[\"']?\s*([A-Za-z0-9._:-]+)", re.I)
XML_ENCODING_RE = re.compile(r"encoding\s*=\s*[\"']([A-Za-z0-9._:-]+)", re.I)


# ---------------------------------------------------------------- reading a page

class _Scanner(HTMLParser):
    """Finds the keywords meta elements with their byte spans, the declared encoding and
    the language. The page is fed as latin-1 so that one character is one byte and the
    parser's positions are byte offsets into the original file."""

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.line_starts = [0]
        for m in re.finditer("\n", text):  # the parser counts lines on "\n" only
            self.line_starts.append(m.end())
        self.spans = []          # (start, end) byte offsets of keywords elements
        self.charset = None
        self.html_lang = None
        self.meta_lang = None

    def _offset(self):
        line, col = self.getpos()
        return self.line_starts[line - 1] + col

    def handle_starttag(self, tag, attrs):
        a = {k.lower(): (v or "") for k, v in attrs}
        if tag == "html" and self.html_lang is None:
            lang = a.get("lang") or a.get("xml:lang")
            if lang:
                self.html_lang = lang
        if tag != "meta":
            return
        if (a.get("name") or "").strip().lower() == "keywords":
            start = self._offset()
            self.spans.append((start, start + len(self.get_starttag_text())))
        if self.charset is None and a.get("charset"):
            self.charset = a["charset"].strip()
        equiv = (a.get("http-equiv") or "").strip().lower()
        if equiv == "content-type" and self.charset is None:
            m = CHARSET_RE.search(a.get("content") or "")
            if m:
                self.charset = m.group(1)
        elif equiv == "content-language" and self.meta_lang is None:
            self.meta_lang = (a.get("content") or "").strip()

    def handle_pi(self, data):
        if self.charset is None and data.lower().startswith("xml"):
            m = XML_ENCODING_RE.search(data)
            if m:
                self.charset = m.group(1)


class _AttrReader(HTMLParser):
    """Reads the content attribute of one meta element, characters decoded."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.content = None

    def handle_starttag(self, tag, attrs):
        if self.content is None:
            self.content = dict((k.lower(), v or "") for k, v in attrs).get("content", "")


def _page_encoding(data, declared):
    if data.startswith(codecs.BOM_UTF8):
        return "utf-8"
    if declared:
        try:
            return codecs.lookup(declared).name
        except LookupError:
            pass
    try:
        data.decode("utf-8")
        return "utf-8"
    except UnicodeDecodeError:
        return "cp1252"


def primary_subtag(lang):
    if not lang:
        return "?"
    first = re.split(r"[-_]", lang.strip(), maxsplit=1)[0].lower()
    return first or "?"


def split_keywords(content):
    return [k.strip() for k in re.split(r"[,;]", content) if k.strip()]


def keyword_words(keywords):
    words = set()
    for k in keywords:
        for w in WORD_RE.findall(k.lower()):
            if len(w) >= 2:
                words.add(w)
    return words


def strip_keywords(data):
    """Returns (copy without the keywords elements, author keywords, language) for the
    page bytes, or None when the page cannot be read this way (UTF-16, UTF-32)."""
    if data.startswith((codecs.BOM_UTF16_LE, codecs.BOM_UTF16_BE)):
        return None
    text = data.decode("latin-1")
    scanner = _Scanner(text)
    scanner.feed(text)
    scanner.close()
    encoding = _page_encoding(data, scanner.charset)
    keywords = []
    for start, end in scanner.spans:
        reader = _AttrReader()
        reader.feed(data[start:end].decode(encoding, errors="replace"))
        reader.close()
        keywords.extend(split_keywords(reader.content or ""))
    out = bytearray()
    pos = 0
    for start, end in scanner.spans:
        out += data[pos:start]
        pos = end
    out += data[pos:]
    lang = primary_subtag(scanner.html_lang or scanner.meta_lang)
    return bytes(out), keywords, lang


# ---------------------------------------------------------------- scoring

def words_match(lumora_word, author_word):
    w = lumora_word.lower()
    a = author_word
    return w == a or (w.endswith("s") and w[:-1] == a) or (a.endswith("s") and a[:-1] == w)


def score(lumora_words, author_words):
    """Returns (P@10, R@20) for one page: lumora_words ranked, author_words a set of
    lower-case words."""
    top10 = lumora_words[:10]
    top20 = lumora_words[:20]
    hits = sum(1 for w in top10 if any(words_match(w, a) for a in author_words))
    p10 = hits / len(top10) if top10 else 0.0
    found = sum(1 for a in author_words if any(words_match(w, a) for w in top20))
    r20 = found / len(author_words) if author_words else 0.0
    return p10, r20


def has_case_pair(lumora_words):
    seen = {}
    for w in lumora_words[:20]:
        low = w.lower()
        if low in seen and seen[low] != w:
            return True
        seen.setdefault(low, w)
    return False


# ---------------------------------------------------------------- running lumora-cli

def cli_has_rules(cli):
    out = subprocess.run([cli, "list", "--help"], capture_output=True, text=True)
    return "--rules" in out.stdout


def run_cli(cli, files, rule, jobs, language):
    cmd = [cli, "list", "--json", "-q", "-r", "-j", str(jobs)]
    if rule is not None:
        cmd += ["--rules", rule]
    if language is not None:
        cmd += ["--language", language]
    cmd += files
    proc = subprocess.run(cmd, capture_output=True)
    results = {}
    for line in proc.stdout.decode("utf-8", errors="replace").splitlines():
        line = line.strip()
        if not line:
            continue
        obj = json.loads(line)
        results[os.path.realpath(obj["path"])] = obj
    return results, proc.returncode, proc.stderr.decode("utf-8", errors="replace")


def collect_pages(folder, tmp):
    pages = []
    unreadable = []
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(files):
            if not name.lower().endswith(PAGE_SUFFIXES):
                continue
            src = os.path.join(root, name)
            rel = os.path.relpath(src, folder)
            with open(src, "rb") as f:
                data = f.read()
            stripped = strip_keywords(data)
            if stripped is None:
                unreadable.append(rel)
                continue
            copy, keywords, lang = stripped
            author = keyword_words(keywords)
            if not author:
                continue
            dst = os.path.join(tmp, rel)
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            with open(dst, "wb") as f:
                f.write(copy)
            pages.append({"path": rel, "copy": os.path.realpath(dst), "lang": lang,
                          "author_keywords": keywords, "author_words": sorted(author)})
    return pages, unreadable


def lumora_language(lang):
    return lang if lang in LUMORA_LANGUAGES else "xx"


def evaluate(folder, cli, rules, jobs, language_from_page):
    notes = []
    if not os.path.isfile(cli):
        sys.exit("lumora-cli not found: %s" % cli)
    if cli_has_rules(cli):
        rule_args = list(rules)
    else:
        rule_args = [None]
        notes.append("lumora-cli list has no --rules: scored its built-in rules only, "
                     "shown as classic")
    labels = [r if r is not None else "classic" for r in rule_args]
    tmp = tempfile.mkdtemp(prefix="lumora-score-")
    try:
        pages, unreadable = collect_pages(folder, tmp)
        if unreadable:
            notes.append("%d UTF-16 pages left out" % len(unreadable))
        if language_from_page:
            groups = {}
            for p in pages:
                groups.setdefault(lumora_language(p["lang"]), []).append(p["copy"])
        else:
            groups = {None: [p["copy"] for p in pages]}
        for rule, label in zip(rule_args, labels):
            results = {}
            for language, files in sorted(groups.items(), key=lambda kv: kv[0] or ""):
                if not files:
                    continue
                got, code, err = run_cli(cli, files, rule, jobs, language)
                if code != 0:
                    notes.append("lumora-cli (%s, language %s) exited %d: %s"
                                 % (label, language or "default", code, err.strip()[:300]))
                results.update(got)
            for p in pages:
                obj = results.get(p["copy"])
                entry = {"status": "missing", "words": [], "p10": 0.0, "r20": 0.0}
                if obj is not None:
                    words = [w["word"] for w in obj.get("words", [])]
                    p10, r20 = score(words, set(p["author_words"]))
                    entry = {"status": obj.get("status"), "words": words[:20],
                             "p10": p10, "r20": r20, "case_pair": has_case_pair(words)}
                p.setdefault("rules", {})[label] = entry
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    for p in pages:
        del p["copy"]
    return pages, labels, notes


def summarise(pages, labels):
    def means(group):
        out = {}
        for label in labels:
            n = len(group)
            out[label] = {
                "p10": sum(p["rules"][label]["p10"] for p in group) / n if n else 0.0,
                "r20": sum(p["rules"][label]["r20"] for p in group) / n if n else 0.0,
            }
        return out
    langs = {}
    for p in pages:
        langs.setdefault(p["lang"], []).append(p)
    summary = {
        "pages": len(pages),
        "overall": means(pages),
        "languages": {lang: dict(pages=len(group), **means(group))
                      for lang, group in sorted(langs.items())},
        "case_pairs": {label: sum(1 for p in pages if p["rules"][label].get("case_pair"))
                       for label in labels},
        "not_ok": {label: sum(1 for p in pages if p["rules"][label]["status"] != "ok")
                   for label in labels},
    }
    return summary


def worst(pages, labels, n):
    label = labels[0]
    ranked = sorted(pages, key=lambda p: (p["rules"][label]["r20"], p["rules"][label]["p10"],
                                          p["path"]))
    return ranked[:n]


def print_text(pages, labels, summary, notes, worst_pages):
    cols = "".join("  %-8s %6s %6s" % (label[:8], "P@10", "R@20") for label in labels)
    print("%-70s %-4s%s" % ("page", "lang", cols))
    for p in pages:
        row = "".join("  %-8s %6.3f %6.3f" % ("", p["rules"][l]["p10"], p["rules"][l]["r20"])
                      for l in labels)
        path = p["path"] if len(p["path"]) <= 70 else "..." + p["path"][-67:]
        print("%-70s %-4s%s" % (path, p["lang"], row))
    print()
    print("%-10s %6s%s" % ("language", "pages", "".join(
        "  %-8s %6s %6s" % (l[:8], "P@10", "R@20") for l in labels)))
    def line(name, n, m):
        print("%-10s %6d%s" % (name, n, "".join(
            "  %-8s %6.3f %6.3f" % ("", m[l]["p10"], m[l]["r20"]) for l in labels)))
    line("all", summary["pages"], summary["overall"])
    for lang, m in summary["languages"].items():
        line(lang, m["pages"], m)
    print()
    for l in labels:
        print("%s: %d pages whose first 20 words hold two case forms of one word; "
              "%d pages not read ok" % (l, summary["case_pairs"][l], summary["not_ok"][l]))
    if worst_pages:
        print()
        print("Pages missed most (%s), author words vs Lumora's first 10:" % labels[0])
        for p in worst_pages:
            r = p["rules"][labels[0]]
            print("  %s [%s] P@10 %.2f R@20 %.2f" % (p["path"], p["lang"], r["p10"], r["r20"]))
            print("    author: %s" % ", ".join(p["author_words"]))
            print("    lumora: %s" % ", ".join(r["words"][:10]))
    for n in notes:
        print("note: " + n)


# ---------------------------------------------------------------- self-test

def self_test():
    failures = 0

    def check(what, got, want):
        nonlocal failures
        if got != want:
            failures += 1
            print("FAIL %s: got %r, want %r" % (what, got, want))

    # A ">" inside a quoted attribute must not end the element; the é before it is two
    # bytes in UTF-8, so a character offset would cut in the wrong place.
    page = ('<html lang="fr-CA"><head><meta charset="utf-8"><title>Thé</title>\r\n'
            '<meta name="Keywords" content="a&gt;b, chats > chiens; thé" />'
            '<p>x</p></head></html>').encode("utf-8")
    copy, kw, lang = strip_keywords(page)
    check("stripped copy", copy, ('<html lang="fr-CA"><head><meta charset="utf-8"><title>'
                                 'Thé</title>\r\n<p>x</p></head></html>').encode("utf-8"))
    check("keywords", kw, ["a>b", "chats > chiens", "thé"])
    check("lang", lang, "fr")

    # A commented-out tag stays; the real one (windows-1252) goes; Content-Language.
    page = ('<!-- <meta name="keywords" content="old"> -->\n<META HTTP-EQUIV="Content-'
            'Language" CONTENT="de"><meta content="Bäume" name=keywords>\n<b>x</b>'
            ).encode("cp1252")
    copy, kw, lang = strip_keywords(page)
    check("comment kept", copy, ('<!-- <meta name="keywords" content="old"> -->\n<META '
                                 'HTTP-EQUIV="Content-Language" CONTENT="de">\n<b>x</b>'
                                 ).encode("cp1252"))
    check("windows-1252 keywords", kw, ["Bäume"])
    check("meta lang", lang, "de")

    # Author words: "a>b" gives none (one letter each), "Web-Seiten" gives two.
    check("author words", keyword_words(["a>b", "Web-Seiten", "Cats"]),
          {"web", "seiten", "cats"})
    # Lumora's ranks: "Cat" matches "cats", "pages" matches "page", "Page" too; 3 of 5.
    lumora = ["Cat", "dog", "pages", "Page", "tree"]
    check("scores", score(lumora, {"cats", "page", "bird", "fish"}), (3 / 5, 2 / 4))
    check("no words", score([], {"cats"}), (0.0, 0.0))
    # Only the first 10 count for P@10, the first 20 for R@20.
    ranked = ["w%d" % i for i in range(25)]
    check("cut-offs", score(ranked, {"w3", "w15", "w22"}), (1 / 10, 2 / 3))
    check("case pair", (has_case_pair(["Page", "page"]), has_case_pair(["page", "pages"])),
          (True, False))
    print("self-test: %d failed" % failures if failures else "self-test: ok")
    return 1 if failures else 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("folder", nargs="?")
    ap.add_argument("--cli", default=os.path.join(here, "..", "build", "bin", "lumora-cli"),
                    help="lumora-cli binary (default build/bin/lumora-cli)")
    ap.add_argument("--rules", default="classic,today",
                    help="rule sets to compare, comma-separated (default classic,today)")
    ap.add_argument("--jobs", type=int, default=1, help="pages lumora-cli reads at once")
    ap.add_argument("--json", action="store_true", help="print one JSON object")
    ap.add_argument("--language-from-page", action="store_true",
                    help="pass --language from the page's lang (en fr de it pt es, else xx)")
    ap.add_argument("--worst", type=int, default=10, metavar="N",
                    help="list the N pages missed most (default 10; 0 for none)")
    ap.add_argument("--self-test", action="store_true")
    args = ap.parse_args()
    if args.self_test:
        return self_test()
    if not args.folder:
        ap.error("FOLDER is required")
    rules = [r.strip() for r in args.rules.split(",") if r.strip()]
    pages, labels, notes = evaluate(args.folder, os.path.abspath(args.cli), rules,
                                    args.jobs, args.language_from_page)
    summary = summarise(pages, labels)
    worst_pages = worst(pages, labels, args.worst) if pages else []
    if args.json:
        json.dump({"rules": labels, "summary": summary, "notes": notes,
                   "worst": [p["path"] for p in worst_pages], "pages": pages},
                  sys.stdout, ensure_ascii=False, indent=1)
        print()
    else:
        print_text(pages, labels, summary, notes, worst_pages)
    return 0


if __name__ == "__main__":
    sys.exit(main())
