"""The Python module's cost per page against the command-line tool's, on the same pages.

    /usr/bin/python3 bench/python_bench.py BUILD_DIR [PAGES] [BYTES]

Writes PAGES generated pages of about BYTES each (500 and 20000 by default), then times
`lumora-cli list --json -j 1` over their folder (one process, every page read and listed)
against a loop of lumora.analyse over the same pages' bytes, read from the files, in this
process. Prints the best of three runs of each, per page, and their ratio. Run it on a quiet
machine.
"""
import os
import random
import subprocess
import sys
import tempfile
import time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
pages = int(sys.argv[2]) if len(sys.argv) > 2 else 500
size = int(sys.argv[3]) if len(sys.argv) > 3 else 20000
sys.path.insert(0, os.path.join(build, "python"))
import lumora  # noqa: E402

rng = random.Random(7)
letters = "abcdefghijklmnopqrstuvwxyz"
vocabulary = ["".join(rng.choice(letters) for _ in range(rng.randint(3, 10)))
              for _ in range(3000)]


def page(i):
    words = [rng.choice(vocabulary) for _ in range(size // 7)]
    lines = [" ".join(words[k:k + 12]) for k in range(0, len(words), 12)]
    body = "\n".join(f"<p>{line}</p>" if k % 5 else f"<h2><b>{line}</b></h2>"
                     for k, line in enumerate(lines))
    return (f"<html><head><title>Page {i} {words[0]} {words[1]}</title></head>\n"
            f"<body><div>Portfolio Gallery Pricing</div>\n{body}\n</body></html>\n").encode()


def best(run):
    times = []
    for _ in range(3):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


with tempfile.TemporaryDirectory() as site:
    paths = []
    for i in range(pages):
        paths.append(os.path.join(site, f"page{i:04}.htm"))
        with open(paths[-1], "wb") as f:
            f.write(page(i))
    cli = os.path.join(build, "bin", "lumora-cli")
    tool = best(lambda: subprocess.run([cli, "list", "--json", "-j", "1", "-q", site],
                                       stdout=subprocess.DEVNULL, check=True))

    def loop():
        for path in paths:
            with open(path, "rb") as f:
                lumora.analyse(f.read())

    module = best(loop)
print(f"{pages} pages of about {size} bytes")
print(f"lumora-cli list --json -j 1: {1000 * tool / pages:.3f} ms a page")
print(f"lumora.analyse in a loop:     {1000 * module / pages:.3f} ms a page")
print(f"module / tool: {module / tool:.2f}")
