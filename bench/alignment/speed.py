#!/usr/bin/python3
"""Speed of placement by content on A4-sized 300 dpi JPEG pairs of the evaluation set.

For each pair, in the same run:
  decode     both JPEG decodes on one thread (libjpeg, in alignment_estimate): the baseline, as
             processor time and as the wall time of a process that does only that
  estimate   the estimate alone (decoding excluded), processor time of all its threads
  command    tandemscan-merge LEFT RIGHT --align content --print-placement --dpi 300, the whole
             process with both decodes (it decodes the two parts on two threads): wall time and
             processor time (user + system)
Each is the median of REPEAT runs; the table gives the medians over the pairs and each one's
ratio to the decode baseline. The machine may be shared: the ratios are what compares.

Usage: speed.py SET_DIR ESTIMATE_PROGRAM MERGE_PROGRAM [--pairs N] [--repeat R]
"""
import argparse
import os
import resource
import statistics
import subprocess
import time


def read_tsv(path):
    with open(path) as f:
        head = f.readline().rstrip("\n").split("\t")
        return [dict(zip(head, line.rstrip("\n").split("\t"))) for line in f if line.strip()]


def children_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def run_command(argv):
    cpu0, wall0 = children_cpu(), time.perf_counter()
    done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return time.perf_counter() - wall0, children_cpu() - cpu0, done


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("set_dir")
    ap.add_argument("estimate")
    ap.add_argument("merge")
    ap.add_argument("--pairs", type=int, default=6)
    ap.add_argument("--repeat", type=int, default=5)
    args = ap.parse_args()
    rows = [t for t in read_tsv(os.path.join(args.set_dir, "truth.tsv"))
            if t["dpi"] == "300" and t["kind"] == "alignable" and t["left"].endswith(".jpg")]
    # Colour first: its decode is the dearer one.
    rows.sort(key=lambda t: (t["mode"] != "colour", t["id"]))
    rows = rows[:args.pairs]
    if not rows:
        print("speed: no 300 dpi JPEG pairs in the set")
        return
    decode, estimate, wall, cpu, decode_wall = [], [], [], [], []
    for t in rows:
        left, right = (os.path.join(args.set_dir, t[k]) for k in ("left", "right"))
        out = subprocess.run([args.estimate, "--speed", left, right, "300", str(args.repeat)],
                             stdout=subprocess.PIPE, text=True, check=True).stdout
        values = dict(line.split() for line in out.splitlines() if line.strip())
        decode.append(float(values["decode"]))
        estimate.append(float(values["estimate"]))
        walls, cpus, decode_walls = [], [], []
        for _ in range(args.repeat):
            decode_walls.append(run_command([args.estimate, "--speed", left, right, "300", "0"])[0])
            w, c, done = run_command([args.merge, left, right, "--align", "content", "--print-placement",
                                      "--dpi", "300"])
            if done.returncode not in (0, 2):
                raise SystemExit("speed: %s failed on %s" % (args.merge, t["id"]))
            walls.append(w)
            cpus.append(c)
        wall.append(statistics.median(walls))
        decode_wall.append(statistics.median(decode_walls))
        cpu.append(statistics.median(cpus))
    base, base_wall = statistics.median(decode), statistics.median(decode_wall)
    print("%d pairs of 300 dpi parts (%s), %d runs each; medians over pairs; load %s" % (
        len(rows), ", ".join(sorted({t["mode"] for t in rows})), args.repeat,
        " ".join(open("/proc/loadavg").read().split()[:3])))
    print("%-56s %9s %10s %8s" % ("step", "seconds", "x baseline", "target"))
    table = [("decode both parts, one thread, CPU (baseline)", base, base, "-"),
             ("estimate alone, CPU (all its threads)", statistics.median(estimate), base, "0.15 s"),
             ("whole command with both decodes, CPU (both threads)", statistics.median(cpu), base, "-"),
             ("process decoding both parts, one thread, wall (baseline)", base_wall, base_wall, "-"),
             ("whole command with both decodes, wall", statistics.median(wall), base_wall, "0.25 s")]
    for name, seconds, against, target in table:
        print("%-56s %9.3f %10.2f %8s" % (name, seconds, seconds / against if against > 0 else 0, target))


if __name__ == "__main__":
    main()
