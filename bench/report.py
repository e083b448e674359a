#!/usr/bin/env python3
"""Rewrites the measured parts of docs/performance.md, and its chart, from results.

  report.py --results build/bench-peers/results [--own own-benchmarks.json]
            [--doc docs/performance.md] [--chart docs/performance.svg]

--results is the bench-peers harness's results folder (results.tsv and
meta.json, and memory.tsv from peak_memory.py when it is there); --own is
Google Benchmark's JSON output of settingsstore-bench. The document keeps its
prose: only the blocks between "<!-- generated: NAME -->" and
"<!-- end: NAME -->" are replaced, each by what its inputs give (a block whose
input is not given keeps its text). The chart is an SVG written by hand:
Python's standard library only.
"""
import argparse
import csv
import datetime
import json
import math
import os
import re
import statistics
import subprocess
import sys

ENGINE = "settingsstore"
KEY = "settingsstore-key"
OURS = (ENGINE, KEY)
OPS = ["load", "lookup", "enumerate", "update"]
OP_UNIT = {"load": "per file", "lookup": "per key", "enumerate": "per name", "update": "per file"}
SIZE_ORDER = ["small", "medium", "large", "wide"]
COLOURS = {
    ENGINE: "#1f4fa8", KEY: "#6fa3ef", "raw": "#444444", "inih": "#d62728", "inireader": "#f4a3a3",
    "simpleini": "#2ca02c", "iniparser": "#a6d96a", "gkeyfile": "#ff7f0e", "boost": "#9467bd",
    "configparser": "#8c564b",
}
SPARE_COLOURS = ["#17becf", "#bcbd22", "#e377c2", "#7f7f7f"]
STATUS_TEXT = {"unsupported": "n/a", "skipped": "skip", "timeout": "T/O", "error": "ERR"}


# --- numbers -------------------------------------------------------------------

def fmt_ns(ns):
    if ns is None:
        return "-"
    for limit, div, unit in ((1e3, 1, "ns"), (1e6, 1e3, "µs"), (1e9, 1e6, "ms")):
        if ns < limit:
            v = ns / div
            return ("%.0f %s" if v >= 100 else "%.1f %s" if v >= 10 else "%.2f %s") % (v, unit)
    v = ns / 1e9
    return ("%.1f s" if v >= 10 else "%.2f s") % v


def fmt_ratio(r):
    if r is None:
        return "-"
    if r < 0.1:  # two significant digits: 0.0024x, not 0.00x
        return "%.*fx" % (max(2, 1 - math.floor(math.log10(r))), r) if r > 0 else "0x"
    return "%.2fx" % r if r < 10 else "%.1fx" % r if r < 100 else "%.0fx" % r


def fmt_bytes(n):
    """Binary units, as the harness prints them."""
    for unit in ("B", "KB", "MB", "GB"):
        if n < 1024 or unit == "GB":
            return ("%d %s" % (n, unit)) if unit == "B" else ("%.1f %s" % (n, unit) if n < 100 else "%.0f %s" % (n, unit))
        n /= 1024.0


# --- harness results -------------------------------------------------------------

class Harness:
    def __init__(self, folder):
        with open(os.path.join(folder, "results.tsv")) as f:
            rows = list(csv.DictReader(f, delimiter="\t"))
        self.cells = {(r["size"], r["op"], r["driver"]): r for r in rows}
        meta_path = os.path.join(folder, "meta.json")
        self.meta = json.load(open(meta_path)) if os.path.exists(meta_path) else {}
        self.when = datetime.datetime.fromtimestamp(
            os.path.getmtime(os.path.join(folder, "results.tsv")), datetime.timezone.utc)
        seen = [r["driver"] for r in rows]
        self.drivers = [d for d in OURS if d in seen] + [d for d in dict.fromkeys(seen) if d not in OURS]
        self.sizes = [s for s in SIZE_ORDER if any(k[0] == s for k in self.cells)]
        self.memory = []
        mem_path = os.path.join(folder, "memory.tsv")
        if os.path.exists(mem_path):
            with open(mem_path) as f:
                self.memory = list(csv.DictReader(f, delimiter="\t"))

    def cell(self, size, op, driver):
        return self.cells.get((size, op, driver))

    def median(self, size, op, driver):
        c = self.cell(size, op, driver)
        if c is None or c["status"] != "ok" or not c["ns_per_op_median"]:
            return None
        return float(c["ns_per_op_median"])

    def spread(self, size, op, driver):
        c = self.cell(size, op, driver)
        if c is None or c["status"] != "ok" or not c["ns_per_op_min"]:
            return None
        return float(c["ns_per_op_min"]), float(c["ns_per_op_median"]), float(c["ns_per_op_max"])

    def peers(self):
        return [d for d in self.drivers if d not in OURS and d != "raw"]

    def best_peer(self, size, op):
        found = [(self.median(size, op, p), p) for p in self.peers()]
        found = [x for x in found if x[0] is not None]
        return min(found) if found else (None, None)

    def ops(self, size):
        return [op for op in OPS if any((size, op, d) in self.cells for d in self.drivers)]

    def manifest(self, size):
        return self.meta.get("manifests", {}).get(size, {})

    def workload(self, size):
        m = self.manifest(size)
        if not m:
            return size
        shape = "%d x %d" % (m["sections"], m["entries"] // max(1, m["sections"]))
        return "%s (%s, %s)" % (size, fmt_bytes(m["bytes"]), shape)


def cell_text(h, size, op, driver):
    c = h.cell(size, op, driver)
    if c is None:
        return ""
    if c["status"] != "ok":
        return STATUS_TEXT.get(c["status"], c["status"])
    text = fmt_ns(float(c["ns_per_op_median"]))
    if c["checksum_check"] in ("MISMATCH", "DIFFERS", "UNSTABLE"):
        text += " !"
    if int(c["runs"] or 0) < int(h.meta.get("repeat", 0) or 0):
        text += " *"
    return text


def spread_text(h, size, op, driver):
    s = h.spread(size, op, driver)
    if s is None:
        return cell_text(h, size, op, driver) or "-"
    lo, med, hi = s
    c = h.cell(size, op, driver)
    runs = int(c["runs"])
    if runs == 1:
        return "%s (1 run)" % fmt_ns(med)
    return "%s (%s – %s, %d runs)" % (fmt_ns(med), fmt_ns(lo), fmt_ns(hi), runs)


def md_table(header, rows, align=None):
    align = align or ["---"] + ["---:"] * (len(header) - 1)
    out = ["| " + " | ".join(header) + " |", "|" + "|".join(align) + "|"]
    out += ["| " + " | ".join(str(x) for x in r) + " |" for r in rows]
    return "\n".join(out)


def git_commit():
    try:
        out = subprocess.run(["git", "rev-parse", "--short", "HEAD"], capture_output=True, text=True,
                             cwd=os.path.dirname(os.path.abspath(__file__)), timeout=10)
        return out.stdout.strip() or None
    except (OSError, subprocess.SubprocessError):
        return None


def block_run(h):
    m = h.meta
    parts = ["Measured %s UTC" % h.when.strftime("%Y-%m-%d %H:%M")]
    commit = git_commit()
    if commit:
        parts.append("at commit `%s`" % commit)
    line = " ".join(parts) + (": %s CPU(s), median of up to %s runs per cell, timed region about %s ms,"
                              " %s s per cell at most, %.0f s in all." % (
                                  m.get("cpus", "?"), m.get("repeat", "?"), m.get("target_ms", "?"),
                                  m.get("cell_budget_s", "?"), m.get("elapsed_s", 0)))
    rows = []
    for s in h.sizes:
        mf = h.manifest(s)
        if mf:
            rows.append([s, fmt_bytes(mf["bytes"]), mf["sections"], mf["entries"], mf["names"],
                         "%d (%d existing)" % (mf["keys"], mf["keys_existing"])])
    return line + "\n\n" + md_table(["workload", "file", "sections", "entries", "names listed", "lookup keys"],
                                    rows)


def block_summary(h):
    rows = []
    for s in h.sizes:
        for op in h.ops(s):
            ours = h.median(s, op, ENGINE)
            best, who = h.best_peer(s, op)
            raw = h.median(s, op, "raw")
            vs = fmt_ratio(best / ours) if best is not None and ours else "-"
            rows.append([
                "%s %s" % (s, op), OP_UNIT[op], spread_text(h, s, op, ENGINE), spread_text(h, s, op, KEY),
                "%s %s" % (who, fmt_ns(best)) if who else "-", vs,
                fmt_ns(raw) if raw is not None else "",
                fmt_ratio(ours / raw) if raw and ours else "",
            ])
    return md_table(["workload", "op", "settingsstore: median (min – max)", "settingsstore-key", "best peer",
                     "best peer / ours", "raw bound", "ours / raw"], rows)


def block_tables(h):
    names = h.drivers
    rows, ratios = [], []
    for s in h.sizes:
        for op in h.ops(s):
            rows.append(["%s %s" % (s, op)] + [cell_text(h, s, op, d) for d in names])
            base = h.median(s, op, ENGINE)
            r = []
            for d in names:
                v = h.median(s, op, d)
                r.append(fmt_ratio(v / base) if v is not None and base else cell_text(h, s, op, d))
            ratios.append(["%s %s" % (s, op)] + r)
    notes = sorted({c["driver"] + " " + c["size"] + " " + c["op"] + ": " + c["note"]
                    for c in h.cells.values() if c["note"] and c["status"] in ("error", "timeout")})
    notes += sorted({"checksums: %s %s %s %s" % (c["size"], c["op"], c["driver"], c["checksum_check"])
                     for c in h.cells.values() if c["checksum_check"] in ("MISMATCH", "DIFFERS", "UNSTABLE")})
    text = ("Median ns per op (lower is better):\n\n" + md_table(["workload"] + names, rows) +
            "\n\nEach driver's median over settingsstore's (above 1: settingsstore is faster; the raw column"
            " is how far settingsstore is from merely reading or writing the bytes):\n\n" +
            md_table(["workload"] + names, ratios) +
            "\n\nMarks: `n/a` op not offered, `skip` not run by default, `T/O` no answer within the"
            " harness's timeout, `ERR` failed, `*` fewer runs than asked (cell budget), `!` checksum differs.")
    if notes:
        text += "\n\n" + "\n".join("- " + n for n in notes)
    return text


def block_memory(h):
    if not h.memory:
        return "Not measured in this run (peak_memory.py needs the large workload)."
    rows = []
    for r in h.memory:
        if r["status"] == "ok":
            rows.append([r["driver"], fmt_bytes(int(r["peak_rss_bytes"])), "%sx" % r["peak_to_file"]])
        else:
            rows.append([r["driver"], r["status"], ""])
    size = int(h.memory[0]["file_bytes"])
    return ("Peak resident memory of one process loading the large file (%s) once:\n\n" % fmt_bytes(size) +
            md_table(["driver", "peak resident", "of the file's size"], rows))


def verdict(ok):
    return "yes" if ok else "**no**"


def block_targets(h):
    """Each target, what the run shows, and whether it holds."""
    rows = []

    def beats_all(size, op, factor=1.0):
        ours = h.median(size, op, ENGINE)
        best, who = h.best_peer(size, op)
        if ours is None or best is None:
            return None, "not measured"
        return ours <= best * factor, "%s vs %s %s" % (fmt_ns(ours), who, fmt_ns(best))

    def add(target, size, result):
        ok, text = result
        rows.append([target, size, text, "-" if ok is None else verdict(ok)])

    for s in h.sizes:
        add("load faster than every peer", s, beats_all(s, "load"))
    for s in [x for x in h.sizes if x != "small"]:
        ours, raw = h.median(s, "load", ENGINE), h.median(s, "load", "raw")
        add("load within 4x of the raw bound", s,
            (None, "not measured") if not (ours and raw) else (ours <= 4 * raw, "%s = %s raw" % (
                fmt_ns(ours), fmt_ratio(ours / raw))))
    for s in h.sizes:
        add("lookup faster than every peer", s, beats_all(s, "lookup"))
    for s in [x for x in h.sizes if x != "small"]:
        ours = h.median(s, "enumerate", ENGINE)
        add("enumerate at most 10 ns per name", s,
            (None, cell_text(h, s, "enumerate", ENGINE) or "not measured") if ours is None
            else (ours <= 10, fmt_ns(ours)))
    for s in h.sizes:
        if s == "small":
            add("update within 1.5x of the fastest peer", s, beats_all(s, "update", 1.5))
        else:
            add("update faster than every peer", s, beats_all(s, "update"))
    for s in h.sizes:
        eng, key = h.median(s, "lookup", ENGINE), h.median(s, "lookup", KEY)
        add("ProfileKey::GetString at most 2x the engine's lookup", s,
            (None, "not measured") if not (eng and key) else (key <= 2 * eng, "%s vs %s (%s)" % (
                fmt_ns(key), fmt_ns(eng), fmt_ratio(key / eng))))
    for r in h.memory:
        if r["driver"] == ENGINE and r["status"] == "ok":
            ratio = float(r["peak_to_file"])
            rows.append(["peak memory at most 3x the file", "large", "%s = %.1fx the file" % (
                fmt_bytes(int(r["peak_rss_bytes"])), ratio), verdict(ratio <= 3)])
    return md_table(["target", "workload", "measured (median)", "holds"], rows, ["---", "---", "---", "---"])


# --- own benchmarks ----------------------------------------------------------------

TIME_SCALE = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def own_rows(path):
    data = json.load(open(path))
    runs = {}
    order = []
    for b in data.get("benchmarks", []):
        if b.get("run_type", "iteration") != "iteration" or b.get("error_occurred"):
            if b.get("error_occurred"):
                name = b.get("run_name", b["name"])
                runs.setdefault(name, {"error": b.get("error_message", "error")})
                order.append(name)
            continue
        name = b.get("run_name", b["name"])
        if name not in runs:
            runs[name] = {"time": [], "per_name": [], "bps": []}
            order.append(name)
        scale = TIME_SCALE[b.get("time_unit", "ns")]
        runs[name]["time"].append(b["real_time"] * scale)
        # Google Benchmark's rates are over CPU time; the write-back waits for
        # the disk, so every figure here is brought to wall time.
        wall_per_cpu = b["real_time"] / b["cpu_time"] if b.get("cpu_time") else 1.0
        if "per_name" in b:
            runs[name]["per_name"].append(b["per_name"] * 1e9 * wall_per_cpu)
        if "bytes_per_second" in b:
            runs[name]["bps"].append(b["bytes_per_second"] / wall_per_cpu)
    ctx = data.get("context", {})
    return [(n, runs[n]) for n in dict.fromkeys(order)], ctx


def spread_of(values):
    if not values:
        return ""
    med = statistics.median(values)
    if len(values) == 1:
        return fmt_ns(med)
    return "%s (%s – %s)" % (fmt_ns(med), fmt_ns(min(values)), fmt_ns(max(values)))


def block_own(path):
    rows, ctx = own_rows(path)
    reps = max((len(r.get("time", [])) for _, r in rows), default=0)
    table = []
    for name, r in rows:
        if "error" in r:
            table.append(["`%s`" % name, "failed: " + r["error"], "", ""])
            continue
        bps = statistics.median(r["bps"]) if r["bps"] else None
        table.append(["`%s`" % name, spread_of(r["time"]), spread_of(r["per_name"]),
                      (fmt_bytes(bps) + "/s") if bps else ""])
    head = ("settingsstore-bench on %s CPU(s) at %s MHz, %s; %d repetitions, median (min – max) of the"
            " repetitions' mean wall time per iteration; per name and throughput over wall time too.\n\n" % (
                ctx.get("num_cpus", "?"), ctx.get("mhz_per_cpu", "?"), ctx.get("date", "?")[:10], reps))
    return head + md_table(["benchmark", "time per iteration", "per name", "throughput"], table)


# --- chart -------------------------------------------------------------------------

def esc(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def colour_of(h):
    spare = iter(SPARE_COLOURS * 4)
    return {d: COLOURS.get(d) or next(spare) for d in h.drivers}


def decade_label(e):
    ns = 10.0 ** e
    for limit, div, unit in ((1e3, 1, "ns"), (1e6, 1e3, "µs"), (1e9, 1e6, "ms")):
        if ns < limit:
            return "%g %s" % (ns / div, unit)
    return "%g s" % (ns / 1e9)


def chart(h, path):
    colours = colour_of(h)
    panel_w, label_w, bar_h, gap, group_gap = 560, 70, 9, 2, 12
    panels = []
    for op in OPS:
        drivers = [d for d in h.drivers
                   if any(h.cell(s, op, d) and h.cell(s, op, d)["status"] != "unsupported" for s in h.sizes)]
        if drivers:
            panels.append((op, drivers))
    heights = [40 + len(h.sizes) * (len(d) * (bar_h + gap) + group_gap) + 30 for _, d in panels]
    cols = 2
    rows_h = [max(heights[i:i + cols]) for i in range(0, len(panels), cols)]
    legend_h = 56
    width = cols * panel_w + 20
    height = legend_h + sum(rows_h) + 10
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d"'
           ' font-family="DejaVu Sans, Arial, sans-serif" font-size="11">' % (width, height, width, height),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="10" y="18" font-size="14" font-weight="bold">ns per op by workload and library'
           ' (log scale, lower is better; median of the runs)</text>']
    x, y = 10, 36
    for d in h.drivers:
        out.append('<rect x="%d" y="%d" width="12" height="10" fill="%s"/>' % (x, y - 9, colours[d]))
        out.append('<text x="%d" y="%d">%s</text>' % (x + 16, y, esc(d)))
        x += 24 + 7 * len(d)
        if x > width - 120:
            x, y = 10, y + 16
    top = legend_h
    for i, (op, drivers) in enumerate(panels):
        px = 10 + (i % cols) * panel_w
        py = top + sum(rows_h[:i // cols])
        values = [h.median(s, op, d) for s in h.sizes for d in drivers]
        values = [v for v in values if v]
        lo = math.floor(math.log10(min(values))) if values else 0
        hi = math.ceil(math.log10(max(values))) if values else 1
        hi = max(hi, lo + 1)
        x0, x1 = px + label_w, px + panel_w - 60
        scale = (x1 - x0) / float(hi - lo)
        plot_h = len(h.sizes) * (len(drivers) * (bar_h + gap) + group_gap)
        out.append('<text x="%d" y="%d" font-size="13" font-weight="bold">%s, ns %s</text>' % (
            px, py + 16, op, OP_UNIT[op]))
        gy = py + 28
        for e in range(lo, hi + 1):
            gx = x0 + (e - lo) * scale
            out.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#d0d0d0"/>' % (gx, gy, gx, gy + plot_h))
            out.append('<text x="%.1f" y="%d" text-anchor="middle" fill="#555">%s</text>' % (
                gx, gy + plot_h + 12, decade_label(e)))
        yy = gy
        for s in h.sizes:
            group_h = len(drivers) * (bar_h + gap)
            out.append('<text x="%d" y="%d" font-weight="bold">%s</text>' % (px, yy + group_h / 2 + 4, s))
            for d in drivers:
                v = h.median(s, op, d)
                c = h.cell(s, op, d)
                if v:
                    w = max(1.0, (math.log10(v) - lo) * scale)
                    out.append('<rect x="%d" y="%d" width="%.1f" height="%d" fill="%s"><title>%s %s %s: %s'
                               '</title></rect>' % (x0, yy, w, bar_h, colours[d], esc(d), s, op, fmt_ns(v)))
                    out.append('<text x="%.1f" y="%d" font-size="8" fill="#333">%s</text>' % (
                        x0 + w + 3, yy + bar_h - 1, esc(fmt_ns(v))))
                elif c is not None:
                    out.append('<text x="%d" y="%d" font-size="8" fill="%s">%s: %s</text>' % (
                        x0 + 3, yy + bar_h - 1, colours[d], esc(d), STATUS_TEXT.get(c["status"], c["status"])))
                yy += bar_h + gap
            yy += group_gap
    out.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


# --- the document ------------------------------------------------------------------

def replace_block(doc, name, text):
    pattern = re.compile(r"(<!-- generated: %s -->\n).*?(<!-- end: %s -->)" % (re.escape(name), re.escape(name)),
                         re.S)
    if not pattern.search(doc):
        sys.exit("report.py: the document has no block %r" % name)
    return pattern.sub(lambda m: m.group(1) + text.rstrip("\n") + "\n" + m.group(2), doc)


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--results", help="the harness's results folder (results.tsv, meta.json, memory.tsv)")
    ap.add_argument("--own", help="settingsstore-bench's JSON output")
    ap.add_argument("--doc", default="docs/performance.md")
    ap.add_argument("--chart", default="docs/performance.svg")
    args = ap.parse_args(argv[1:])
    with open(args.doc) as f:
        doc = f.read()
    if args.results:
        h = Harness(args.results)
        for name, make in (("run", block_run), ("targets", block_targets), ("summary", block_summary),
                           ("tables", block_tables), ("memory", block_memory)):
            doc = replace_block(doc, name, make(h))
        chart(h, args.chart)
    if args.own:
        doc = replace_block(doc, "own", block_own(args.own))
    with open(args.doc, "w") as f:
        f.write(doc)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
