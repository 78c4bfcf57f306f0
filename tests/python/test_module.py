"""The Python module against lumora-cli: the same lines, tags and messages for the same pages."""
import concurrent.futures
import json
import os
import pathlib
import subprocess
import tempfile
import unittest

import lumora

CLI = os.environ["LUMORA_CLI"]
EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"

# Pages beside the examples: line ends, encodings, and pages that cannot be read.
MADE = {
    "lf.htm": b"<title>Plum jam</title>\nPlum jam and plum cake, jam jars, jam.\n",
    "crlf.htm": b"<title>Plum jam</title>\r\n<b>Plum</b> jam and plum cake, jam jars.\r\n",
    "utf8.htm": "<title>Crème brûlée</title>Crème brûlée, crème, brûlée.".encode(),
    "latin1.htm": '<meta charset="iso-8859-1"><title>Café</title>Café crème, café.'.encode(
        "latin-1"),
    "nul.htm": b"<title>x</title>\0 abc",
    "empty.htm": b"",
    "plain.htm": b"Plum jam, plum jam, plum jam.",
}


def cli(*args, page=None):
    return subprocess.run([CLI, *args], input=page, capture_output=True, check=False)


def lines(*args):
    return [json.loads(line) for line in cli("list", "--json", "-j", "1", *args).stdout.splitlines()]


def without_path(line):
    return {k: v for k, v in line.items() if k != "path"}


class ModuleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        site = pathlib.Path(cls.dir.name)
        for page in EXAMPLES.glob("*.htm"):
            (site / page.name).write_bytes(page.read_bytes())
        for name, page in MADE.items():
            (site / name).write_bytes(page)
        cls.site = str(site)
        cls.pages = {str(p): p.read_bytes() for p in sorted(site.iterdir())}

    def check_lines(self, expected, options, shown=None, titles=None):
        self.assertEqual(len(expected), len(self.pages))
        for line in expected:
            page = self.pages[line["path"]]
            with self.subTest(path=line["path"], options=options):
                got = lumora._list_line(page, line["path"], site_common_words=shown,
                                        site_title_words=titles, **options)
                self.assertEqual(json.loads(got), line)
                if line["status"] == "ok" and shown is None:
                    self.assertEqual(lumora.analyse(page, **options), without_path(line))
                elif shown is None:
                    with self.assertRaises(lumora.PageError):
                        lumora.analyse(page, **options)

    def test_lines_equal_the_tools(self):
        cases = [
            ({}, []),
            ({"rules": "today", "lower_case": True}, ["--rules", "today", "--lower-case"]),
            ({"min_frequency": 1, "max_keywords": None, "ignore": "jam"},
             ["--min-frequency", "1", "--max-keywords", "", "--ignore", "jam"]),
            ({"keep_common_words": True, "title_weight": "0", "max_bytes": 60},
             ["--keep-common-words", "--title-weight", "0", "--max-bytes", "60"]),
            ({"encoding": "klingon"}, ["--encoding", "klingon"]),
        ]
        for options, args in cases:
            self.check_lines(lines(*args, self.site), options)

    def test_site_common_words_equal_the_tools(self):
        counts, titles, read = {}, {}, 0
        for page in self.pages.values():
            words = lumora._page_words(page)
            if words is None:
                continue
            read += 1
            for into, found in zip((counts, titles), words):
                for word in found:
                    into[word] = into.get(word, 0) + 1
        self.assertEqual(read, len(self.pages) - 2)  # the NUL and the empty page
        def over(c):
            return {w for w, n in c.items() if n * 100.0 > 30 * read}
        expected = lines("--site-common", "30", self.site)
        self.assertTrue(any(line.get("site_common") for line in expected))
        self.check_lines(expected, {}, over(counts), over(titles))

    def test_walk_is_the_tools(self):
        pages, problems = lumora._collect_pages([self.site])
        self.assertEqual(pages, [line["path"] for line in lines(self.site)])
        self.assertEqual(problems, [])
        self.assertTrue(lumora._is_page_name("a.XHTML") and not lumora._is_page_name("a.txt"))
        self.assertTrue(lumora._matches_pattern("*.htm", "site/a.htm"))
        # Pages of other stores fail in the tool's words, and in its failed lines.
        gone, notes = self.dir.name + "/gone.htm", self.dir.name + "/notes.txt"
        pathlib.Path(notes).write_text("notes")
        for path, kind in ((gone, "missing"), (notes, "name")):
            message = lumora._page_failure(path, kind)
            self.assertEqual(lumora._read_page(path), (None, message))
            tool = cli("list", "--json", path).stdout.decode().rstrip("\n")
            self.assertEqual(lumora._failed_line(path, message), tool)

    def test_refusals_carry_the_tools_message(self):
        page = self.pages[self.site + "/bakery.htm"]
        cases = [
            (lambda: lumora.analyse(page, min_frequency=0), ["list", "--min-frequency", "0"]),
            (lambda: lumora.analyse(page, rules="new"), ["list", "--rules", "new"]),
            (lambda: lumora.analyse(MADE["nul.htm"]), ["list"], MADE["nul.htm"]),
            (lambda: lumora.analyse(b""), ["list"], b""),
            (lambda: lumora.insert(MADE["plain.htm"]), ["insert"], MADE["plain.htm"]),
        ]
        for call, args, *stdin in cases:
            with self.subTest(args=args):
                tool = cli(*args, "-", page=stdin[0] if stdin else page)
                self.assertNotEqual(tool.returncode, 0)
                with self.assertRaises(ValueError) as raised:
                    call()
                self.assertEqual(str(raised.exception), tool.stderr.decode().splitlines()[0])
                self.assertEqual(isinstance(raised.exception, lumora.PageError), bool(stdin))
        with self.assertRaises(TypeError):
            lumora.analyse(page, min_frequence=1)

    def test_insert_and_show_equal_the_tools(self):
        for path, page in self.pages.items():
            if path.endswith(("nul.htm", "empty.htm", "plain.htm")):
                continue
            with self.subTest(path=path):
                tool = cli("insert", "--lower-case", "-", page=page)
                self.assertEqual(lumora.insert(page, lower_case=True), tool.stdout)
                shown = json.loads(cli("show", "--json", path).stdout)
                self.assertEqual(lumora.show(page), without_path(shown))

    def test_threads_give_what_one_by_one_gives(self):
        pages = [p for p in self.pages.values() if p not in (MADE["nul.htm"], b"")] * 8
        one_by_one = [lumora.analyse(p, rules="today") for p in pages]
        with concurrent.futures.ThreadPoolExecutor(4) as pool:
            self.assertEqual(list(pool.map(lambda p: lumora.analyse(p, rules="today"), pages)),
                             one_by_one)

    def test_resources_of_a_folder(self):
        page = self.pages[self.site + "/bakery.htm"]
        data = lumora._default_resources().data_dir
        self.assertEqual(lumora.analyse(page, resources=lumora.Resources(data)),
                         lumora.analyse(page))
        with self.assertWarns(RuntimeWarning):
            lumora.analyse(page, data_dir=self.site)


if __name__ == "__main__":
    unittest.main()
