#!/usr/bin/env python3
"""Runs of records against single prints, and tavoprint batch with one and two worker processes,
on the peer generator's invoices. Prints one JSON line per run for bench/e2e/report.py.

  batch.py --build DIR --rule RULE --work DIR [--count 10000]
"""
import argparse
import glob
import json
import os
import subprocess
import time


def run_timed(args, env):
    """Runs a command; its wall time, and the CPU time and peak memory of it and its workers."""
    started = time.monotonic()
    child = subprocess.Popen(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out, err = child.stdout.read(), child.stderr.read()
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        raise RuntimeError(f"{' '.join(args[:3])} ... failed: {err.decode()[-2000:]}")
    return {"wall_s": time.monotonic() - started, "cpu_s": usage.ru_utime + usage.ru_stime,
            "peak_kib": usage.ru_maxrss, "out": out.decode()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--rule", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--count", type=int, default=10000)
    args = parser.parse_args()
    here = os.path.dirname(os.path.abspath(__file__))
    data = os.path.join(args.work, "data")
    subprocess.run(["node", os.path.join(here, "make-invoices.js"), data, str(args.count)], check=True)
    files = sorted(glob.glob(os.path.join(data, "inv-*.xml")))
    env = dict(os.environ, TAVO_REGISTRY=os.path.join(args.work, "registry.reg"))
    tavoprint = os.path.join(args.build, "bin", "tavoprint")
    subprocess.run([tavoprint, "register"], env=env, check=True, capture_output=True)
    bench = os.path.join(args.build, "bench", "batch", "batch_bench")

    def out_dir(name):
        path = os.path.join(args.work, name)
        os.makedirs(path, exist_ok=True)
        return path

    # In one process: a PrintXmlData call per invoice, one PrintXmlBatch of all, and one job over
    # the files one at a time (memory after every tenth).
    for kind, inputs in (("calls", files), ("batch", [os.path.join(data, "all.xml")]),
                         ("joined", files)):
        result = run_timed([bench, kind, args.rule, out_dir(kind)] + inputs, env)
        print(json.dumps(json.loads(result["out"])), flush=True)
    # tavoprint batch: a PDF per invoice, one and two worker processes.
    for jobs in (1, 2):
        result = run_timed([tavoprint, "batch", args.rule] + files +
                           ["--pdf-dir", out_dir(f"jobs-{jobs}"), "--jobs", str(jobs)], env)
        written = len(glob.glob(os.path.join(args.work, f"jobs-{jobs}", "*.pdf")))
        print(json.dumps({"bench": "batch", "kind": "tavoprint", "jobs": jobs, "files": len(files),
                          "pages": written, "wall_s": result["wall_s"], "cpu_s": result["cpu_s"],
                          "peak_kib": result["peak_kib"]}), flush=True)


if __name__ == "__main__":
    main()
