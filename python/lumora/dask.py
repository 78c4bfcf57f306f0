"""Runs `lumora-cli list --json` over a whole archive on the workers of a Dask cluster.

    python3 -m lumora.dask PAGES... [--scheduler ADDRESS] [--site-common P] [-r] [options]

PAGES are pages, folders and glob patterns, local or any URL fsspec can open; `--list FILE`
adds one page, folder or pattern per line. The JSON Lines on standard output and the
summary on standard error are those of `lumora-cli list --json` on the same pages.
"""

import argparse
import collections
import glob
import logging
import os
import signal
import sys
import time

import lumora

# Options of `lumora-cli list` that take a value, passed to the module by their snake-case
# names; the module checks them as the command line does.
_VALUE_OPTIONS = (
    "rules", "language", "title-weight", "description-weight", "keywords-weight",
    "bold-weight", "italic-weight", "table-weight", "div-weight", "span-weight",
    "short-word-size", "min-frequency", "ignore", "begin-with", "max-keywords",
    "max-bytes", "encoding", "data-dir",
)
_FLAG_OPTIONS = ("keep-short-words", "keep-common-words", "lower-case", "no-space-after-comma")
_NUMBER_OPTIONS = {
    "title-weight", "description-weight", "keywords-weight", "bold-weight", "italic-weight",
    "table-weight", "div-weight", "span-weight", "short-word-size", "min-frequency",
    "max-keywords", "max-bytes",
}

# Pages are read on the workers a batch at a time: one task per few hundred pages keeps the
# scheduler's work small on an archive of millions.
_MOST_PER_BATCH = 200
# A worker that dies takes its tasks with it; the scheduler runs them again elsewhere.
_RETRIES = 3


def _path_bytes(path):
    return path.encode("utf-8", "surrogateescape")


def _read_local(path, where):
    """(bytes, None) or (None, message): the page read as the page command reads it, from
    `where`, its path on this worker; the message names it by `path`, as given."""
    return lumora._read_page(where, path)


def _is_url(path):
    scheme, sep, _ = path.partition("://")
    return bool(sep) and scheme.replace("+", "").replace("-", "").isalnum() and scheme != "file"


def _read_url(url):
    import fsspec

    refusal = lumora._page_failure(url, "name")
    if refusal:
        return None, refusal
    try:
        with fsspec.open(url, "rb") as f:
            return f.read(), None
    except FileNotFoundError:
        return None, lumora._page_failure(url, "missing")
    except IsADirectoryError:
        return None, lumora._page_failure(url, "not_regular")
    except Exception as e:  # every scheme fails in its own way; the page fails alone
        return None, lumora._page_failure(url, "unreadable", str(e) or type(e).__name__)


def _read(path, base):
    if _is_url(path):
        return _read_url(path)
    # Relative to the folder the run was started in, wherever the worker runs.
    where = path if os.path.isabs(path) or os.getcwd() == base else os.path.join(base, path)
    return _read_local(path, where)


def _status(line):
    # Without parsing the page's line again: a text value holds its quotes escaped, so this
    # key and value stand only where the writer put them.
    return "ok" if '"status":"ok"' in line else "failed"


def _list_batch(entries, base, options, site_words):
    """The JSON lines of a batch of (path, problem) entries, and how many were done and failed.

    A pure function of its arguments, so that the scheduler may run it again after a worker
    died with it."""
    lines = []
    counts = collections.Counter()
    shown, titles = site_words if site_words is not None else (None, None)
    for path, problem in entries:
        if problem is None:
            page, problem = _read(path, base)
        if problem is not None:
            line = lumora._failed_line(path, problem)
        else:
            line = lumora._list_line(page, path, site_common_words=shown,
                                     site_title_words=titles, **options)
        counts[_status(line)] += 1
        lines.append(line)
    return "".join(line + "\n" for line in lines), counts["ok"], counts["failed"]


def _count_batch(entries, base, options):
    """How many of the batch's readable pages show each word, and hold it in their title."""
    shown = collections.Counter()
    titles = collections.Counter()
    pages = 0
    for path, problem in entries:
        if problem is not None:
            continue
        page, problem = _read(path, base)
        if problem is not None:
            continue  # told when the page is listed
        words = lumora._page_words(page, **options)
        if words is None:
            continue
        pages += 1
        shown.update(words[0])
        titles.update(words[1])
    return shown, titles, pages


def _more_than(counts, percent, pages):
    # The program's own arithmetic: multiplied out in doubles, so "more than 50" of 4 pages
    # is exactly 3 or 4.
    if pages == 0:
        return frozenset()
    return frozenset(w for w, n in counts.items() if float(n) * 100.0 > percent * float(pages))


# Walking what the arguments name.

def _sort_key(entry):
    return _path_bytes(entry[0])


def _has_glob(text):
    return any(c in text for c in "*?[")


def _expand_globs(arguments):
    out = []
    for argument in arguments:
        if not _has_glob(argument) or _exists(argument):
            out.append(argument)
            continue
        if _is_url(argument):
            import fsspec

            fs, _ = fsspec.core.url_to_fs(argument)
            found = sorted(fs.unstrip_protocol(p) for p in fs.glob(argument))
        else:
            found = sorted(glob.glob(argument), key=_path_bytes)
        # A pattern that matches nothing is told as a path that is not there.
        out.extend(found or [argument])
    return out


def _exists(path):
    if _is_url(path):
        return False
    return os.path.lexists(path)


def _remote_entries(url, recursive, include, exclude):
    """The pages an URL gives, walked as the CLI walks a folder, with the problems met."""
    import fsspec

    try:
        fs, root = fsspec.core.url_to_fs(url)
        is_folder = fs.isdir(root)
    except Exception as e:  # an unknown scheme, a missing filesystem package
        return [(url, f"Error: {url}: {e}")]
    if not is_folder or (not url.endswith("/") and lumora._is_page_name(url.rsplit("/", 1)[-1])):
        return [(url, None)]  # named directly: taken whatever it is
    entries = []
    folders = [(url, root)]
    while folders:
        shown_folder, folder = folders.pop(0)
        try:
            listed = fs.ls(folder, detail=True)
        except Exception as e:
            entries.append((shown_folder, f"Error: {shown_folder}: {e}"))
            continue
        subfolders = []
        for item in sorted(listed, key=lambda i: i["name"]):
            name = item["name"].rstrip("/").rsplit("/", 1)[-1]
            path = shown_folder.rstrip("/") + "/" + name
            if any(lumora._matches_pattern(p, path) for p in exclude):
                continue
            if item.get("type") == "directory":
                if recursive:
                    subfolders.append((path, item["name"]))
                continue
            taken = (any(lumora._matches_pattern(p, path) for p in include) if include
                     else lumora._is_page_name(name))
            if taken and not lumora._is_own_file(name):
                entries.append((path, None))
        folders.extend(subfolders)
    if not entries:  # most likely a wrong folder or a wrong pattern
        entries.append((url, f"Error: No page found in {url}"))
    return entries


def collect(arguments, recursive=False, follow_symlinks=False, include=(), exclude=()):
    """Every entry of the run in the CLI's order: (path, None) for a page, (path, message)
    for an argument that gave none."""
    arguments = _expand_globs(arguments)
    local = [a[len("file://"):] if a.startswith("file://") else a
             for a in arguments if not _is_url(a)]
    entries = []
    if local:
        pages, problems = lumora._collect_pages(local, recursive, follow_symlinks,
                                                list(include), list(exclude))
        entries.extend((page, None) for page in pages)
        entries.extend(problems)
    for url in (a for a in arguments if _is_url(a)):
        entries.extend(_remote_entries(url, recursive, include, exclude))
    entries.sort(key=_sort_key)  # stable: a folder's problem stays after its pages
    return entries


# The command line.

def _parser():
    p = argparse.ArgumentParser(
        prog="python3 -m lumora.dask",
        description="List the ranked words of many pages on the workers of a Dask cluster, "
        "as `lumora-cli list --json` does on one machine.")
    p.add_argument("pages", nargs="*", metavar="PAGE",
                   help="pages, folders and glob patterns; local paths or URLs fsspec knows")
    p.add_argument("--list", action="append", default=[], metavar="FILE",
                   help="a file naming one page, folder or pattern per line (- for standard input)")
    p.add_argument("--scheduler", metavar="ADDRESS",
                   help="the cluster's scheduler, e.g. tcp://host:8786 (default: a local cluster)")
    p.add_argument("--workers", type=int, default=os.cpu_count() or 1, metavar="N",
                   help="worker processes of the local cluster (default: all cores)")
    p.add_argument("--batch-size", type=int, default=0, metavar="N",
                   help=f"pages per task (default: up to {_MOST_PER_BATCH})")
    p.add_argument("--site-common", metavar="PERCENT",
                   help="leave out words found on more than this percentage of the pages")
    p.add_argument("-r", "--recursive", action="store_true", help="walk subfolders too")
    p.add_argument("--follow-symlinks", action="store_true")
    p.add_argument("--include", action="append", default=[], metavar="GLOB")
    p.add_argument("--exclude", action="append", default=[], metavar="GLOB")
    p.add_argument("-q", "--quiet", action="store_true", help="no summary")
    p.add_argument("--json", action="store_true", help="accepted: the output is always JSON")
    p.add_argument("--verbose", action="store_true", help="accepted: JSON tells the encoding")
    for name in _VALUE_OPTIONS:
        p.add_argument("--" + name)
    for name in _FLAG_OPTIONS:
        p.add_argument("--" + name, action="store_true")
    return p


def _options_of(args):
    options = {}
    for name in _VALUE_OPTIONS:
        value = getattr(args, name.replace("-", "_"))
        if value is None:
            continue
        if name in _NUMBER_OPTIONS and value.isdigit() and value.isascii():
            value = int(value)
        options[name.replace("-", "_")] = value
    for name in _FLAG_OPTIONS:
        if getattr(args, name.replace("-", "_")):
            options[name.replace("-", "_")] = True
    return options


def _percent(text):
    if text is None:
        return None
    problem = lumora._decimal_problem(text, 1, 100)
    if problem:
        raise ValueError(f"--site-common: {problem}")
    return float(int(text))


def _read_list(name):
    f = sys.stdin if name == "-" else open(name, encoding="utf-8", errors="surrogateescape")
    with f:
        return [line.rstrip("\r\n") for line in f if line.rstrip("\r\n")]


def _batches(entries, size):
    return [entries[i:i + size] for i in range(0, len(entries), size)]


def _in_order(client, fn, batches, *args):
    """Each batch's result in batch order, with at most a window of batches in flight, so
    that neither the cluster nor this process holds the whole archive's results."""
    from distributed import as_completed

    threads = sum(client.nthreads().values()) or 1
    window = max(2, 4 * threads)
    pending = {}  # key: (batch index, future)
    ready = {}
    done = as_completed()
    submitted = following = 0
    try:
        while following < len(batches):
            while submitted < len(batches) and submitted < following + window:
                future = client.submit(fn, batches[submitted], *args, retries=_RETRIES)
                pending[future.key] = (submitted, future)
                done.add(future)
                submitted += 1
            while following not in ready:
                future = next(done)
                i, _ = pending.pop(future.key)
                ready[i] = future.result()
                future.release()
            yield ready.pop(following)
            following += 1
    finally:
        for _, future in pending.values():
            future.cancel()


def _run(client, entries, options, percent, batch_size, out, counts):
    base = os.getcwd()
    threads = sum(client.nthreads().values()) or 1
    size = batch_size or max(1, min(_MOST_PER_BATCH, -(-len(entries) // (4 * threads))))
    batches = _batches(entries, size)
    site_words = None
    if percent is not None:
        shown, titles, pages = collections.Counter(), collections.Counter(), 0
        for s, t, n in _in_order(client, _count_batch, batches, base, options):
            shown.update(s)
            titles.update(t)
            pages += n
        words = (_more_than(shown, percent, pages), _more_than(titles, percent, pages))
        del shown, titles
        # Sent to every worker once, not with every task.
        site_words = client.scatter([words], broadcast=True, hash=False)[0]
    for text, ok, failed in _in_order(client, _list_batch, batches, base, options, site_words):
        out.write(text.encode("utf-8", "surrogateescape"))
        out.flush()
        counts[0] += ok + failed
        counts[1] += ok
        counts[2] += failed


def _client(args):
    from distributed import Client, LocalCluster

    if args.scheduler:
        return Client(args.scheduler)
    # Ctrl-C reaches every process of the terminal's group: the workers leave it to the
    # runner, which stops the run and then the cluster, rather than die each with a traceback.
    previous = signal.signal(signal.SIGINT, signal.SIG_IGN)
    try:
        cluster = LocalCluster(n_workers=max(1, args.workers), threads_per_worker=1,
                               processes=True, dashboard_address=None,
                               silence_logs=logging.ERROR)
    finally:
        signal.signal(signal.SIGINT, previous)
    return Client(cluster)


def main(argv=None):
    args = _parser().parse_args(argv)
    # A connection the cluster dropped while the client closes leaves asyncio a future
    # nobody waits for; its traceback would follow the summary on stderr and tell nothing.
    logging.getLogger("asyncio").setLevel(logging.CRITICAL)
    started = time.monotonic()
    options = _options_of(args)
    try:
        percent = _percent(args.site_common)
        if args.workers < 1 or args.batch_size < 0:
            raise ValueError("--workers and --batch-size take a positive number")
        # Bad options are told before any cluster is started, as the CLI tells them.
        lumora._list_line(b"<title>x</title>", "x.htm", **options)
        arguments = list(args.pages)
        for name in args.list:
            arguments.extend(_read_list(name))
    except ValueError as e:
        print(e, file=sys.stderr)
        return 2
    except OSError as e:
        print(f"Error: {e.filename}: {e.strerror}", file=sys.stderr)
        return 2
    if not arguments:
        print("PAGE is required", file=sys.stderr)
        return 2
    if "-" in arguments:
        print("- (standard input) cannot be read with --json or --site-common", file=sys.stderr)
        return 2
    entries = collect(arguments, args.recursive, args.follow_symlinks, args.include, args.exclude)
    counts = [0, 0, 0]  # pages printed, done, failed
    interrupted = broken = False
    try:
        with _client(args) as client:
            _run(client, entries, options, percent, args.batch_size, sys.stdout.buffer, counts)
    except KeyboardInterrupt:
        interrupted = True
    except Exception as e:  # the cluster gave up (a batch killed every worker it met, ...)
        print(f"Error: the run stopped: {type(e).__name__}: {e}", file=sys.stderr)
        broken = True
    printed, done, failed = counts
    total = len(entries)
    if not args.quiet:
        skipped = total - printed
        print(f"{total} {'page' if total == 1 else 'pages'}: {done} done, {failed} failed, "
              f"{skipped} skipped, {time.monotonic() - started:.1f} s"
              + (" (stopped by Ctrl-C)" if interrupted else ""), file=sys.stderr)
    if interrupted:
        return 130
    return 1 if failed or broken else 0


if __name__ == "__main__":
    # Run as lumora.dask, not __main__, so that the workers find the tasks' functions by name.
    from lumora.dask import main as _main

    sys.exit(_main())
