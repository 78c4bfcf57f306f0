"""The Dask runner prints what lumora-cli list --json prints, on a generated site."""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

try:
    import logging
    from distributed import Client, LocalCluster
except ImportError:
    LocalCluster = None

CLI = os.environ.get("LUMORA_CLI", "")
GUARD = 900  # seconds: only against a run that hangs

TOPICS = ["kites", "strings", "gliders", "wind", "beaches", "ribbons", "sails", "tails",
          "reels", "knots", "caf\u00e9s", "cr\u00eapes"]


def make_site(root, pages):
    """Pages that share a navigation bar and a site name, in subfolders, with LF and CR LF,
    UTF-8 and Latin-1, and some that cannot be read."""
    for i in range(pages):
        folder = os.path.join(root, "site", f"part{i % 7}", *(["deep"] if i % 5 == 0 else []))
        os.makedirs(folder, exist_ok=True)
        a, b = TOPICS[i % len(TOPICS)], TOPICS[(i * 5 + 3) % len(TOPICS)]
        body = (f"<html><head><title>Acmeworks {a.title()}</title></head><body>\n"
                "<div>Portfolio Gallery Pricing Contact</div>\n"
                + f"<p>{a} {b} {a} page{i} page{i} {b} <b>{a}</b></p>\n" * (1 + i % 4)
                # On exactly half the pages of part1 and part2 together: not more than 50 %.
                + "<p>kitesurfing, kitesurfing</p>" * (i % 7 == 1)
                + "</body></html>\n")
        if i % 2:
            body = body.replace("\n", "\r\n")
        data = body.encode("latin-1" if i % 3 == 0 else "utf-8")
        with open(os.path.join(folder, f"page{i:03}.htm"), "wb") as f:
            f.write(data)
    site = os.path.join(root, "site")
    with open(os.path.join(site, "broken.htm"), "wb") as f:
        f.write(b"<title>broken</title>\0 page")
    open(os.path.join(site, "empty.html"), "wb").close()
    os.mkfifo(os.path.join(site, "stuck.htm"))
    os.mkdir(os.path.join(site, "folder.htm"))  # a folder named like a page is a page
    with open(os.path.join(os.fsencode(site), b"caf\xe9.htm"), "wb") as f:
        f.write(b"<title>Caf\xe9</title><p>caf\xe9 caf\xe9 cr\xeapes</p>")
    os.mkdir(os.path.join(root, "nothing"))  # a folder without pages
    return site


@unittest.skipIf(LocalCluster is None, "python3-distributed is not installed: Dask runner not tested")
@unittest.skipIf(not os.access(CLI, os.X_OK), "LUMORA_CLI does not name lumora-cli")
class DaskRunnerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp()
        cls.site = make_site(cls.root, 300)
        cls.cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                   dashboard_address=None, silence_logs=logging.ERROR)
        cls.client = Client(cls.cluster)

    @classmethod
    def tearDownClass(cls):
        cls.client.close()
        cls.cluster.close()
        shutil.rmtree(cls.root)

    def cli(self, args):
        return subprocess.run([CLI, "list", "--json", *args], capture_output=True, timeout=GUARD,
                              cwd=self.root)

    def runner(self, args, **popen):
        return subprocess.Popen([sys.executable, "-m", "lumora.dask", *args], cwd=self.root,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, **popen)

    def assertSameRun(self, args, out, err, code, expected=None):
        expected = expected or self.cli(args)
        self.assertEqual(out.decode().splitlines(), expected.stdout.decode().splitlines())
        if code == 2:  # a usage error, told first in the tool's words
            self.assertEqual(err.splitlines()[:1], expected.stderr.splitlines()[:1])
            return self.assertEqual((out, code), (b"", expected.returncode))
        # The summary: the cluster's own log lines may come before it.
        summary = [re.sub(rb"[0-9.]+ s$", b"T s", e.strip().splitlines()[-1])
                   for e in (err, expected.stderr)]
        self.assertEqual(summary[0], summary[1], err.decode()[-2000:])
        self.assertEqual(code, expected.returncode)

    def test_same_lines_as_the_cli(self):
        address = ["--scheduler", self.cluster.scheduler_address]
        cases = [
            (address, ["-r", "site"]),
            (address, ["-r", "--site-common", "50", "--min-frequency", "1", "site"]),
            (address + ["--batch-size", "7"], ["-r", "--site-common", "50", "site/part1", "site/part2/"]),
            # Its own local cluster, with what the CLI tells of paths that give no page.
            (["--workers", "1"], ["site/part3", "missing.htm", "nothing", "site/folder.htm"]),
            (address, ["--max-keywords", "abc", "site"]),
            (address, ["--site-common", "101", "site"]),
        ]
        for own, args in cases:
            with self.subTest(args=args):
                run = self.runner(own + args)
                out, err = run.communicate(timeout=GUARD)
                self.assertSameRun(args, out, err, run.returncode)

    def test_a_worker_killed_mid_run_costs_no_page(self):
        args = ["-r", "site"]
        expected = self.cli(args)
        before = self.client.run(os.getpid)
        run = self.runner(["--scheduler", self.cluster.scheduler_address, "--batch-size", "2"]
                          + args)
        first = [run.stdout.readline() for _ in range(20)]
        # A worker with a batch under way, when there is one.
        busy = [w for w, keys in self.client.processing().items() if keys and w in before]
        os.kill(before[(busy or list(before))[0]], signal.SIGKILL)
        rest, err = run.communicate(timeout=GUARD)
        # The runner keeps only a few batches ahead of what it printed, so most pages were
        # still to do when the worker died.
        self.assertSameRun(args, b"".join(first) + rest, err, run.returncode, expected)
        self.client.wait_for_workers(2, timeout=GUARD)
        self.assertNotEqual(self.client.run(os.getpid), before)


if __name__ == "__main__":
    unittest.main()
