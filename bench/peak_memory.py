#!/usr/bin/env python3
"""Peak resident memory of each bench-peers driver while it loads one file.

Runs `DRIVER load FILE 1` once per driver (the subject, then every driver in
the harness's drivers.list) and writes a TSV: driver, the file's size, the
process's peak resident set (from wait4, so one process at a time), and the
peak as a multiple of the file's size. Python standard library only.

  peak_memory.py --drivers build/bench-peers/drivers.list \
      --subject settingsstore=build/release/bench/settingsstore-peer-driver \
      --file build/bench-peers/workloads/large.ini --out memory.tsv
"""
import argparse
import os
import subprocess
import sys

# iniparser inserts by scanning every entry: the large file would take hours.
SKIP = {"iniparser"}


def peak_rss_kib(args):
    """Runs args to the end; answers (exit status, peak RSS in KiB)."""
    with open(os.devnull, "wb") as null:
        proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=null, stderr=null)
        _, status, usage = os.wait4(proc.pid, 0)
        proc.returncode = os.waitstatus_to_exitcode(status)
    return proc.returncode, usage.ru_maxrss  # KiB on Linux


def drivers(listing, subjects):
    found = [tuple(s.split("=", 1)) for s in subjects]
    with open(listing) as f:
        for line in f:
            if "\t" in line:
                name, path = line.rstrip("\n").split("\t", 1)
                if name not in SKIP and name not in dict(found):
                    found.append((name, path))
    return found


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--drivers", required=True, help="the harness's drivers.list")
    ap.add_argument("--subject", action="append", default=[], help="NAME=PATH, measured first")
    ap.add_argument("--file", required=True, help="the file each driver loads")
    ap.add_argument("--out", required=True, help="the TSV to write")
    args = ap.parse_args(argv[1:])
    if not os.path.isfile(args.file):
        sys.exit("peak_memory.py: no file %s (run the harness with --sizes all first)" % args.file)
    size = os.path.getsize(args.file)
    rows = []
    for name, path in drivers(args.drivers, args.subject):
        status, kib = peak_rss_kib([path, "load", args.file, "1"])
        state = "ok" if status == 0 else ("unsupported" if status == 3 else "error %d" % status)
        rows.append((name, size, kib * 1024 if state == "ok" else "", state))
        sys.stderr.write("  %-18s %s\n" % (name, ("%.0f MB" % (kib / 1024.0)) if state == "ok" else state))
    with open(args.out, "w") as f:
        f.write("driver\tfile_bytes\tpeak_rss_bytes\tpeak_to_file\tstatus\n")
        for name, size_, peak, state in rows:
            ratio = "%.2f" % (peak / size_) if peak != "" else ""
            f.write("%s\t%d\t%s\t%s\t%s\n" % (name, size_, peak, ratio, state))
    return 0 if all(r[3] in ("ok", "unsupported") for r in rows) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
