#!/usr/bin/env python3
"""Writes bench/RESULTS.md from the JSON lines scripts/bench collected.

  report.py --results FILE.jsonl --build-dir DIR --load-start "LOADAVG" --minutes N > RESULTS.md
"""
import argparse
import datetime
import json
import math
import os
import platform
import subprocess

GOAL_WALL_RATIO = 20.0
GOAL_CPU_RATIO = 25.0
GOAL_FLOOR_RATIO = 1.5
GOAL_PRINT_MIB = 30
# The figures of the Qt devices (QPdfWriter, QImage) that the cairo devices replaced, from the
# run of 2026-12-08 19:24 on an Intel Xeon.
BEFORE = {"pdf_cpu_ms": 18.0, "raster_ms": 4.52, "print_mib": 38, "cpu_ratio": 9.0,
          "wall_ratio": 8.4}


def command_output(*args):
    try:
        return subprocess.run(args, capture_output=True, text=True, timeout=30).stdout.strip()
    except (OSError, subprocess.SubprocessError):
        return ""


def package_version(package):
    """The installed version; a package installed for several architectures is named once."""
    return first_line(command_output("dpkg-query", "-W", "-f=${Version}\n", package))


def first_line(text):
    return text.splitlines()[0] if text else "unknown"


def machine(build_dir, load_start):
    cpu = "unknown"
    for line in command_output("lscpu").splitlines():
        if line.startswith("Model name:"):
            cpu = line.split(":", 1)[1].strip()
    memory_kb = 0
    with open("/proc/meminfo") as meminfo:
        for line in meminfo:
            if line.startswith("MemTotal:"):
                memory_kb = int(line.split()[1])
    os_name = "unknown"
    if os.path.exists("/etc/os-release"):
        with open("/etc/os-release") as release:
            for line in release:
                if line.startswith("PRETTY_NAME="):
                    os_name = line.split("=", 1)[1].strip().strip('"')
    cache = {}
    cache_path = os.path.join(build_dir, "CMakeCache.txt")
    if os.path.exists(cache_path):
        with open(cache_path) as lines:
            for line in lines:
                if ":" in line and "=" in line and not line.startswith(("//", "#")):
                    name, value = line.split("=", 1)
                    cache[name.split(":")[0]] = value.strip()
    compiler = first_line(command_output(cache.get("CMAKE_CXX_COMPILER", "c++"), "--version"))
    flags = cache.get("CMAKE_CXX_FLAGS_RELEASE", "")
    playwright = "not installed"
    package = os.path.join(os.path.dirname(__file__), "..", "peer", "node_modules",
                           "playwright-core", "package.json")
    if os.path.exists(package):
        with open(package) as text:
            playwright = json.load(text)["version"]
    with open("/proc/loadavg") as loadavg:
        load_end = " ".join(loadavg.read().split()[:3])
    return [
        ("CPU", f"{cpu}, {os.cpu_count()} cores"),
        ("Memory", f"{memory_kb / 1024 / 1024:.1f} GiB"),
        ("System", f"{os_name}, Linux {platform.release()}"),
        ("Compiler", compiler),
        ("Build", f"CMake {cache.get('CMAKE_BUILD_TYPE', '?')} ({flags}), tree `{build_dir}`"),
        ("cairo / Pango", " / ".join(package_version(p) for p in ("libcairo2", "libpango-1.0-0"))),
        ("Qt (the windows only)", package_version("libqt6gui6")),
        ("Chromium", first_line(command_output("/usr/bin/chromium", "--version"))
         if os.path.exists("/usr/bin/chromium") else "not installed"),
        ("Node.js / playwright-core", f"{command_output('node', '--version') or 'none'} / {playwright}"),
        ("Load average (1, 5, 15 min)", f"{load_start} at the start, {load_end} at the end"),
    ]


def fit_exponent(points):
    """Least-squares slope of log(time) on log(size)."""
    xs = [math.log(size) for size, _ in points]
    ys = [math.log(time) for _, time in points]
    mx, my = sum(xs) / len(xs), sum(ys) / len(ys)
    sxx = sum((x - mx) ** 2 for x in xs)
    return sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sxx if sxx else float("nan")


def fit_with_fixed_cost(points):
    """The exponent k of time = a + b * size^k, a >= 0 the fixed cost of a job: for each k on a
    fine grid, a and b by least squares on the relative error; the k that fits best."""
    best = (float("inf"), float("nan"))
    for step in range(0, 1501):
        k = 0.3 + step * 0.001
        # Weighted least squares with weights 1/t^2: minimise sum((a + b x - t)^2 / t^2).
        rows = [(1 / t, size ** k / t, 1.0) for size, t in points]
        s11 = sum(r[0] * r[0] for r in rows)
        s12 = sum(r[0] * r[1] for r in rows)
        s22 = sum(r[1] * r[1] for r in rows)
        y1 = sum(r[0] * r[2] for r in rows)
        y2 = sum(r[1] * r[2] for r in rows)
        det = s11 * s22 - s12 * s12
        if det == 0:
            continue
        a = (y1 * s22 - y2 * s12) / det
        b = (s11 * y2 - s12 * y1) / det
        if a < 0:
            a, b = 0.0, y2 / s22
        if b <= 0:
            continue
        error = sum((a * r[0] + b * r[1] - r[2]) ** 2 for r in rows)
        if error < best[0]:
            best = (error, k)
    return best[1]


def ms(value):
    return f"{value:,.1f}" if value >= 10 else f"{value:.2f}"


def mib(kb):
    return f"{kb / 1024:,.0f} MiB"


def section_sample(records, floor):
    out = ["## 1. The sample invoice end to end, one process", "",
           "The sample invoice (`examples/invoice`: rule.xml, data.xml with 8 rows, form.png) "
           "1,000 times in one process, each run as a host's call does it:", "",
           "- **PDF printer**: what `PrintXmlData` does: the wide texts become ANSI, a fresh "
           "`TTavoXmlDataPrinter` reads the rule and prints the data as one job on the current "
           "printer, here the virtual PDF printer (`pdf:` + a file; A4 landscape at 600 dpi, the "
           "file written beside the target, synced and renamed into place on every job).",
           "- **Preview raster**: `DrawPreviewPage` (the preview dialog's drawing): the form.png "
           "background loaded, then the page drawn over it on a 96 dpi raster. No PNG is encoded.",
           "",
           "- **Floor**: the same page without our engine: the sample printed once onto a "
           "recording device at 600 dpi, then its texts (same fonts, sizes, places, clips), "
           "lines, rectangles and stamp picture drawn 1,000 times by bare cairo and Pango "
           "(`bench/e2e/FloorPage.cpp`: a cairo PDF surface per page, one `PangoLayout` per "
           "text, no caches of its own), written to a file each time.",
           "",
           "Timed: the 1,000 calls, wall clock and process CPU time; the printer installation "
           "before the first call is not (shown as start-up). Peak memory is the process's "
           "`ru_maxrss` at the end; the PDF process is a print-only host: it starts no Qt.", "",
           "| path | runs | pages/s (wall) | median ms (wall) | pages/s (CPU) | median ms (CPU) "
           "| first call ms | start-up ms | peak RSS |",
           "|---|---:|---:|---:|---:|---:|---:|---:|---:|"]
    names = {"pdf": "PDF printer", "raster": "preview raster, 96 dpi"}
    for record in records:
        out.append(
            f"| {names[record['target']]} | {record['runs']:,} | {record['pages_per_s']:.1f} "
            f"| {ms(record['median_ms'])} | {record['pages_per_cpu_s']:.1f} "
            f"| {ms(record['median_cpu_ms'])} | {ms(record['first_ms'])} "
            f"| {ms(record['startup_s'] * 1e3)} | {mib(record['peak_rss_kb'])} |")
    if floor:
        out.append(
            f"| floor: bare cairo + Pango PDF | {floor['runs']:,} "
            f"| {1e3 / floor['median_ms']:.1f} | {ms(floor['median_ms'])} "
            f"| {1e3 / floor['median_cpu_ms']:.1f} | {ms(floor['median_cpu_ms'])} | | "
            f"| {mib(floor['peak_rss_kb'])} |")
    pdf = next((r for r in records if r["target"] == "pdf"), None)
    raster = next((r for r in records if r["target"] == "raster"), None)
    out += ["", "Goals:", ""]
    if pdf and floor:
        ratio = pdf["median_cpu_ms"] / floor["median_cpu_ms"]
        wall = pdf["median_ms"] / floor["median_ms"]
        out.append(f"- The PDF printer within {GOAL_FLOOR_RATIO}× of the floor ({floor['texts']} "
                   f"texts): {ratio:.2f}× in CPU time, {wall:.2f}× in wall time (medians): "
                   + ("**met**." if max(ratio, wall) <= GOAL_FLOOR_RATIO else "**not met**."))
    if raster:
        out.append(f"- The preview raster no slower than the Qt raster's {BEFORE['raster_ms']} ms: "
                   f"{ms(raster['median_ms'])} ms wall, {ms(raster['median_cpu_ms'])} ms CPU: "
                   + ("**met**." if raster["median_cpu_ms"] <= BEFORE["raster_ms"] else
                      "**not met**."))
    if pdf:
        peak = pdf["peak_rss_kb"] / 1024
        out.append(f"- Peak memory of the print-only process at most {GOAL_PRINT_MIB} MiB (Qt "
                   f"devices: {BEFORE['print_mib']} MiB): {peak:.1f} MiB: "
                   + ("**met**." if peak <= GOAL_PRINT_MIB else "**not met**.")
                   + (f" Of the resident memory at the end, {pdf['font_pages_kb'] / 1024:.1f} MiB are "
                      "pages of the mapped font files (clean page-cache pages shared with every "
                      "process that uses the fonts; the kernel maps 64 KiB around each glyph "
                      f"read) and {pdf['anon_rss_kb'] / 1024:.1f} MiB the process's own anonymous memory."
                      if "font_pages_kb" in pdf else "")
                   + f" The PDF printer's CPU time per invoice was {BEFORE['pdf_cpu_ms']} ms "
                   f"with Qt's QPdfWriter; now {ms(pdf['median_cpu_ms'])} ms.")
    return out


def section_peer(record, error):
    out = ["## 2. Against the peer: headless Chromium printing HTML", ""]
    if error:
        out += ["**The comparison did not run.** The error:", "", "```", error.strip(), "```",
                ""]
        return out
    tavo, chrome = record["tavo"], record["chromium"]
    goal_met = record["wall_ratio"] >= GOAL_WALL_RATIO and record["cpu_ratio"] >= GOAL_CPU_RATIO
    out += [
        f"{record['invoices']} invoices for the sample rule, generated from seed "
        f"{record['seed']} (`bench/peer/invoices.js`: buyer and seller names, numbers, dates, "
        f"amounts, {record['rows_min']} to {record['rows_max']} goods rows, "
        f"{record['rows_mean']:.2f} on average), printed to PDF by both in the same run:", "",
        "- **tavo**: `e2e_bench serve`, one process that prints each data document through the "
        "`PrintXmlData` path to its own PDF file through the virtual PDF printer.",
        f"- **Chromium** {chrome['version']} (Debian's `chromium`), driven by playwright-core "
        "with `executablePath: '/usr/bin/chromium'`, flags `--headless --no-sandbox "
        "--disable-gpu --disable-quic --no-first-run --disable-background-networking "
        "--disable-component-update --disable-sync` and a new empty user data directory; one "
        "persistent browser and page, `page.setContent(html)` + `page.pdf()` per invoice, the "
        "PDF written to a file. The HTML (`bench/peer/html.js`) is made from the same rule and "
        "data documents before timing: absolutely positioned elements for the frame, the lines, "
        "labels, fields and the stamp picture (a data: URL), the goods rows as a CSS grid that "
        "stacks the rows 1 mm apart, each as tall as its tallest cell, as the control lays them "
        "out; 宋体 as \"AR PL UMing CN\", 黑体 as \"WenQuanYi Zen Hei Mono\", sizes in pt, rule "
        "pixels (96 dpi) as CSS px, page A4 landscape as our PDF printer prints this rule "
        f"(`landscape=\"true\"`). Making the {record['invoices']} pages took "
        f"{record['html_generation_ms']:.0f} ms, not counted.",
        "",
        f"Each side prints all {record['invoices']} invoices in turn while the other is idle "
        f"(a 1 s pause before each turn), for {len(record['rounds'])} rounds with the order "
        "swapped each round, so a change in the machine's load hits both alike. Wall time per "
        "invoice is measured around each call (for Chromium: setContent + pdf + writing the "
        "file; for tavo: selecting the output file + PrintXmlData). CPU time is the engine "
        "process's own, and for Chromium the sum over the browser's process tree (from "
        "/proc/PID/stat), not counting the Node.js driver (shown apart). Browser launch and "
        "engine start-up are not in the per-invoice figures. Peak memory: for tavo the engine "
        "process's `ru_maxrss`; for Chromium the largest sum of VmRSS over the browser's "
        "process tree, sampled every 50 ms from /proc by a separate process during the whole "
        "run (PSS, which shares common pages between the processes, beside it). "
        f"Afterwards every one of the PDFs is checked to hold one page ({record['check']}).",
        "",
        "| per invoice | tavo | Chromium | Chromium / tavo |",
        "|---|---:|---:|---:|",
        f"| wall time, mean | {ms(tavo['wall_ms'])} ms | {ms(chrome['wall_ms'])} ms "
        f"| **{record['wall_ratio']:.1f}×** |",
        f"| wall time, median | {ms(tavo['median_wall_ms'])} ms "
        f"| {ms(chrome['median_wall_ms'])} ms "
        f"| {chrome['median_wall_ms'] / tavo['median_wall_ms']:.1f}× |",
        f"| CPU time, mean | {ms(tavo['cpu_ms'])} ms | {ms(chrome['cpu_ms'])} ms "
        f"(+ {ms(chrome['driver_cpu_ms'])} ms in the Node.js driver) "
        f"| **{record['cpu_ratio']:.1f}×** |",
        f"| start-up (once) | {ms(tavo['startup_ms'])} ms | {ms(chrome['startup_ms'])} ms "
        f"| {chrome['startup_ms'] / tavo['startup_ms']:.0f}× |",
        f"| peak memory (RSS) | {mib(tavo['peak_rss_kb'])} | {mib(chrome['peak_rss_kb'])} in "
        f"{chrome['processes']} processes | **{record['memory_ratio']:.1f}×** |",
        f"| peak memory (Chromium PSS) | | {mib(chrome['peak_pss_kb'])} "
        f"| {record['pss_memory_ratio']:.1f}× |",
        "",
        "Per round:", "",
        "| round | tavo wall ms | Chromium wall ms | wall ratio | tavo CPU ms | Chromium CPU ms "
        "| CPU ratio |",
        "|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for number, round_ in enumerate(record["rounds"], 1):
        out.append(f"| {number} | {ms(round_['tavo_wall_ms'])} | {ms(round_['chromium_wall_ms'])} "
                   f"| {round_['wall_ratio']:.1f}× | {ms(round_['tavo_cpu_ms'])} "
                   f"| {ms(round_['chromium_cpu_ms'])} | {round_['cpu_ratio']:.1f}× |")
    out += ["", f"Goal: per invoice at least {GOAL_CPU_RATIO:.0f} times less CPU time and "
            f"{GOAL_WALL_RATIO:.0f} times less wall time than Chromium: "
            f"{record['cpu_ratio']:.1f}× in CPU time "
            + ("(met)" if record["cpu_ratio"] >= GOAL_CPU_RATIO else "(**not met**)")
            + f", {record['wall_ratio']:.1f}× in wall time "
            + ("(met)" if record["wall_ratio"] >= GOAL_WALL_RATIO else "(**not met**)")
            + f". With the Qt devices: {BEFORE['cpu_ratio']}× and {BEFORE['wall_ratio']}×. "
            "Chromium's cost depends on the processor (its CJK PDFs cost about 5 times more on "
            "an AMD EPYC than on an Intel Xeon, ours did not), so the ratio holds for the "
            "processor named above.", ""]
    return out


def section_growth(records):
    out = ["## 3. Growth", "",
           "End to end as in 1, to the PDF printer and to the preview raster: the sample rule with "
           "data of 10 to 10,000 goods rows (`InvoiceDataWithRows`), and generated rules of 10 to "
           "10,000 elements on the sample's page in its mix (lines, frames, labels, bound fields "
           "in both fonts, one stamp picture) with data for every field (`FormWithElements`), "
           "both in `bench/e2e/GrowthDocuments.cpp`. Each size is drawn once untimed, then "
           "repeated until a second has passed (at least 3, at most 200 times); the median counts.",
           "",
           "Exponents of time ∝ size^k: **k** is the least-squares fit on log-log over the four "
           "sizes; **k with fixed cost** fits time = a + b·size^k (a ≥ 0, the cost of a job of "
           "any size: the PDF file with its embedded font subsets, the raster with its "
           "background; least squares on the relative error); **last decade** is the slope from "
           "1,000 to 10,000.", "",
           "| series | clock | 10 | 100 | 1,000 | 10,000 | k | k with fixed cost | last decade |",
           "|---|---|---:|---:|---:|---:|---:|---:|---:|"]
    series = {}
    for record in records:
        series.setdefault((record["series"], record["target"]), []).append(record)
    verdicts = []
    for (name, target), points in series.items():
        points.sort(key=lambda r: r["size"])
        label = ("rows of data" if name == "rows" else "rule elements") + " to " + (
            "PDF" if target == "pdf" else "raster")
        for clock, key in (("wall", "median_ms"), ("CPU", "median_cpu_ms")):
            pairs = [(p["size"], p[key]) for p in points]
            plain = fit_exponent(pairs)
            fixed = fit_with_fixed_cost(pairs)
            last = math.log(pairs[-1][1] / pairs[-2][1]) / math.log(pairs[-1][0] / pairs[-2][0])
            out.append(f"| {label} | {clock} | " + " | ".join(ms(t) for _, t in pairs)
                       + f" | {plain:.2f} | {fixed:.2f} | {last:.2f} |")
            if clock == "CPU":
                verdicts.append((label, plain, fixed, last))
    largest = max(p["size"] for p in records)
    out += ["", "Times in ms per page (median). Peak memory at the largest size: "
            + ", ".join(f"{r['series']} to {r['target']} {mib(r['peak_rss_kb'])}"
                        for r in records if r["size"] == largest) + ".", ""]
    linear = all(fixed <= 1.15 and last <= 1.15 for _, _, fixed, last in verdicts)
    out.append(
        ("**The cost grows linearly**" if linear else "**The cost grows faster than linearly**")
        + " (CPU time; " + "; ".join(f"{label}: k {plain:.2f}, {fixed:.2f} with fixed cost, "
                                    f"{last:.2f} in the last decade"
                                    for label, plain, fixed, last in verdicts)
        + ")." + (" The plain exponents are under 1 because the fixed cost of a job weighs on "
                  "the small sizes; with the fixed cost apart, and over the last decade, the "
                  "exponents are close to 1 or below." if linear else
                  " A series whose exponent with fixed cost or over the last decade is above "
                  "1.15 costs more per row or element the larger the document."))
    out.append("")
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--results", required=True)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--load-start", default="unknown")
    parser.add_argument("--minutes", default="?")
    args = parser.parse_args()

    records = []
    with open(args.results) as lines:
        for line in lines:
            line = line.strip()
            if line.startswith("{"):
                records.append(json.loads(line))
    samples = [r for r in records if r.get("bench") == "sample"]
    floor = next((r for r in records if r.get("bench") == "floor"), None)
    peers = [r for r in records if r.get("bench") == "peer"]
    growth = [r for r in records if r.get("bench") == "growth"]
    bridge = next((r for r in records if r.get("bench") == "bridge"), None)
    batch = [r for r in records if r.get("bench") == "batch"]
    dispatch = next((r for r in records if r.get("bench") == "dispatch"), None)
    peer_error = next((r["error"] for r in peers if "error" in r), None)
    peer = next((r for r in peers if "error" not in r), None)

    today = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    out = ["# Benchmark results", "",
           f"Written by `scripts/bench` on {today}; the whole run took {args.minutes} minutes. "
           "Every figure below comes from that one run.", "",
           "## Machine", "", "| | |", "|---|---|"]
    out += [f"| {name} | {value} |" for name, value in machine(args.build_dir, args.load_start)]
    out += ["",
            "On a machine shared with other work the wall-clock times vary with the load; the "
            "CPU times, which do not count the time other processes held the cores, are the "
            "steadier figures. Both are given. Ratios are taken between figures of the same run.",
            "",
            "## How to rerun", "",
            "From a clean clone on Debian 12, as root or through sudo: `scripts/bench` "
            "(optionally `scripts/bench BUILD_DIR`, default `build-bench`). It installs the "
            "project's packages (`scripts/setup`), Debian's `chromium` (and `nodejs` and `npm` "
            "when missing), runs `npm ci` in `bench/peer` (playwright-core pinned in "
            "package.json and package-lock.json), builds `e2e_bench` in Release, runs the "
            "benchmarks below and writes this file. It is not run by CI.", ""]
    out += section_sample(samples, floor)
    out += [""]
    out += section_peer(peer, None if peer else (peer_error or "no result was recorded"))
    out += section_growth(growth)
    out += section_bridge(bridge)
    out += section_batch(batch)
    out += section_dispatch(dispatch)
    print("\n".join(out))


def section_bridge(record):
    out = ["", "## 4. The web bridge against in-process calls", ""]
    if record is None or "error" in record:
        return out + ["Not measured: " + (record or {}).get("error", "no result was recorded"), ""]
    version, prints = record["GetOcxVersion_us"], record["PrintXmlData_us"]
    first, memory = record["connect_to_first_answer_ms"], record["memory_kib"]
    return out + [
        "`bench/bridge/roundtrip.mjs`: a WebSocket client calls through tavobridge and the "
        "page's worker; `bridge_baseline` makes the same calls in-process through the registry.",
        "", "| | through the bridge | in-process | ratio |", "|---|---|---|---|",
        f"| GetOcxVersion round trip | {version['bridge']} µs | {version['in_process']} µs | {version['ratio']} |",
        f"| PrintXmlData of the sample invoice | {prints['bridge'] / 1000:.1f} ms | "
        f"{prints['in_process'] / 1000:.1f} ms | {prints['ratio']} |", "",
        f"Connect to first answer (worker start and control creation): median {first['median']} ms, "
        f"max {first['max']} ms of 10. Resident memory: bridge {memory['bridge_kib'] / 1024:.1f} MiB, "
        f"one worker after printing {memory['worker_kib'] / 1024:.1f} MiB.", ""]


def section_batch(records):
    out = ["", "## 5. Runs of records", ""]
    kinds = {(r.get("kind"), r.get("jobs")): r for r in records}
    calls, batch, joined = (kinds.get((k, None)) for k in ("calls", "batch", "joined"))
    one, two = kinds.get(("tavoprint", 1)), kinds.get(("tavoprint", 2))
    error = next((r["error"] for r in records if "error" in r), None)
    if error or not all((calls, batch, joined, one, two)):
        return out + ["Not measured: " + (error or "no result was recorded"), ""]

    def rate(r, key):
        return r["pages"] / r[key] if r[key] > 0 else 0.0

    def row(name, r):
        return (f"| {name} | {r['pages']:,} | {rate(r, 'wall_s'):.1f} | {r['wall_s']:.1f} | "
                f"{rate(r, 'cpu_s'):.1f} | {r['cpu_s']:.1f} | {mib(r['peak_kib'])} |")

    peaks = joined.get("peak_kib_at_pages", {})
    first_peak = next(iter(peaks.items()), (0, 0))
    last_peak = list(peaks.items())[-1] if peaks else (0, 0)
    out += [
        f"{calls['pages']:,} invoices of the peer's generator (`bench/peer/invoices.js`, seed 20261208: "
        "1 to 8 goods rows each) for the sample rule, each a data document of its own "
        "(`bench/batch/make-invoices.js` also joins their records into one document), printed to "
        "the virtual PDF printer; `bench/batch/batch.py` runs it all:",
        "",
        "- **PrintXmlData calls**: `batch_bench calls`, one host process creating the control "
        "through the registry: SetDefaultPrinter to a file of its own and PrintXmlData, per "
        "invoice (each file synced and renamed into place).",
        "- **PrintXmlBatch**: `batch_bench batch`, the one document of all the records, one call, "
        "one PDF of all the pages.",
        "- **one job over the files**: `batch_bench joined`, BeginBatch, PrintXmlBatch of each "
        "file, EndBatch: one PDF, the documents read one at a time.",
        "- **tavoprint batch, 1 / 2 jobs**: `tavoprint batch RULE FILES... --pdf-dir DIR --jobs N`, "
        "a PDF per invoice, its CPU time and peak memory those of tavoprint and its worker "
        "processes (`wait4`; peak: the largest process).",
        "",
        "| run | pages | pages/s (wall) | wall s | pages/s (CPU) | CPU s | peak RSS |",
        "|---|---:|---:|---:|---:|---:|---:|",
        row("PrintXmlData calls", calls), row("PrintXmlBatch, one PDF", batch),
        row("one job over the files (BeginBatch)", joined),
        row("tavoprint batch, 1 job", one), row("tavoprint batch, 2 jobs", two),
        "",
        f"- PrintXmlBatch against the PrintXmlData calls: **{rate(batch, 'wall_s') / rate(calls, 'wall_s'):.2f}x** "
        f"the pages per second in wall time, {rate(batch, 'cpu_s') / rate(calls, 'cpu_s'):.2f}x in CPU time.",
        f"- tavoprint batch with 2 jobs against 1: **{one['wall_s'] / two['wall_s']:.2f}x** in wall time "
        f"(CPU time {two['cpu_s'] / one['cpu_s']:.2f}x of one job's: the work is the same, shared out).",
        f"- Peak memory of one job over the files: {mib(first_peak[1])} after {int(first_peak[0]):,} pages, "
        f"{mib(last_peak[1])} after {int(last_peak[0]):,} (**{last_peak[1] / first_peak[1] if first_peak[1] else 0:.2f}x** "
        f"for {int(last_peak[0]) / int(first_peak[0]) if int(first_peak[0]) else 0:.0f} times the pages). "
        f"PrintXmlBatch of the one document of all records peaks at {mib(batch['peak_kib'])}: it holds "
        "the whole parsed document while it prints.",
        "",
    ]
    return out


def section_dispatch(record):
    out = ["", "## 6. The system's dispatcher against straight TCP", ""]
    if record is None or "error" in record:
        return out + ["Not measured: " + (record or {}).get("error", "no result was recorded"), ""]
    status, first = record["status_ms"], record["first_call_ms"]
    return out + dispatch_table(status, first)


def dispatch_table(status, first):
    """The dispatcher's figures; also used for a run of bench/bridge/dispatch.mjs alone."""
    return [
        "`bench/bridge/dispatch.mjs`: connect to first answer through the port systemd passes to "
        "`tavobridge --dispatch` (started by `systemd-socket-activate`), which hands the "
        "connection to the user's `tavobridge --user-socket`, against straight TCP to a plain "
        "bridge of the same user; the two ways measured in turn, medians.",
        "", "| connect to first answer | straight TCP | through the dispatcher | added | ratio |",
        "|---|---:|---:|---:|---:|",
        f"| GET /status ({status['runs']} each) | {status['straight']:.3f} ms | "
        f"{status['dispatched']:.3f} ms | {status['added'] * 1000:.0f} µs | {status['ratio']:.2f} |",
        f"| WebSocket and its first call, GetOcxVersion ({first['runs']} each; starts the worker) | "
        f"{first['straight']:.1f} ms | {first['dispatched']:.1f} ms | {first['added']:.1f} ms | "
        f"{first['ratio']:.2f} |", ""]


if __name__ == "__main__":
    main()
