#!/usr/bin/python3
"""Scores placement results against truth.tsv and prints ours beside the peers.

A pair succeeds when the flip is right and the found map puts every corner of the true overlap
within 1.5 px of where the truth puts it. Negatives (different sheets) and blank overlaps must be
refused: an answer there that is not within 1.5 px of the truth is a false alignment.

Usage: score.py SET_DIR NAME=RESULTS.tsv [NAME=RESULTS.tsv ...]
"""
import math
import statistics
import sys
from collections import OrderedDict

TOLERANCE = 1.5
SPARSE_IN = 2.0


def kind_of(truth_row):
    if truth_row["kind"] == "alignable" and float(truth_row.get("content_in", "99")) < SPARSE_IN:
        return "sparse"
    return truth_row["kind"]


def read_tsv(path):
    with open(path) as f:
        head = f.readline().rstrip("\n").split("\t")
        return [dict(zip(head, line.rstrip("\n").split("\t"))) for line in f if line.strip()]


def part_size(path):
    with open(path, "rb") as f:
        data = f.read(200000)
    if data[:2] == b"P4":
        w, h = data.split()[1:3]
        return int(w), int(h)
    i = 2
    while i < len(data):
        marker, length = data[i + 1], int.from_bytes(data[i + 2:i + 4], "big")
        if marker in (0xC0, 0xC1, 0xC2):
            return int.from_bytes(data[i + 7:i + 9], "big"), int.from_bytes(data[i + 5:i + 7], "big")
        i += 2 + length
    raise ValueError(path)


def apply(m, x, y):
    a = math.radians(m[0])
    return math.cos(a) * x - math.sin(a) * y + m[1], math.sin(a) * x + math.cos(a) * y + m[2]


def overlap_corners(truth, wl, hl, wr, hr):
    """Corners of the box, in right-part coordinates, of the right pixels that land in the left part."""
    xs, ys = [], []
    step = max(4, wr // 200)
    for y in range(0, hr, step):
        for x in range(0, wr, step):
            lx, ly = apply(truth, x, y)
            if 0 <= lx <= wl - 1 and 0 <= ly <= hl - 1:
                xs.append(x)
                ys.append(y)
    if not xs:
        return []
    return [(min(xs), min(ys)), (max(xs), min(ys)), (min(xs), max(ys)), (max(xs), max(ys))]


def error_of(truth_row, result, corners):
    if result.get("status") != "ok":
        return None
    if int(result["flipped"]) != int(truth_row["flipped"]):
        return math.inf
    t = (float(truth_row["angle_deg"]), float(truth_row["dx"]), float(truth_row["dy"]))
    f = (float(result["angle_deg"]), float(result["dx"]), float(result["dy"]))
    worst = 0.0
    for x, y in corners:
        a, b = apply(t, x, y), apply(f, x, y)
        worst = max(worst, math.hypot(a[0] - b[0], a[1] - b[1]))
    return worst


def summarise(rows):
    """rows: list of (kind, error or None, seconds)"""
    good = [r for r in rows if r[0] == "alignable"]
    bad = [r for r in rows if r[0] in ("negative", "blank")]
    narrow = [r for r in rows if r[0] == "narrow"]
    sparse = [r for r in rows if r[0] == "sparse"]
    ok = [r[1] for r in good if r[1] is not None and r[1] <= TOLERANCE]
    wrong_on_good = [r for r in good if r[1] is not None and r[1] > TOLERANCE]
    s = OrderedDict()
    s["pairs"] = len(rows)
    s["aligned"] = "%d/%d" % (len(ok), len(good)) if good else "-"
    s["rate"] = "%.0f%%" % (100 * len(ok) / len(good)) if good else "-"
    s["median px"] = "%.3f" % statistics.median(ok) if ok else "-"
    s["worst px"] = "%.3f" % max(ok) if ok else "-"
    s["wrong"] = str(len(wrong_on_good)) if good else "-"
    s["refused"] = str(sum(1 for r in good if r[1] is None)) if good else "-"
    s["false"] = str(sum(1 for r in bad if r[1] is not None and r[1] > TOLERANCE)) + "/" + str(len(bad)) if bad else "-"
    s["narrow ok/wrong"] = ("%d/%d" % (sum(1 for r in narrow if r[1] is not None and r[1] <= TOLERANCE),
                                       sum(1 for r in narrow if r[1] is not None and r[1] > TOLERANCE))) if narrow else "-"
    s["sparse ok/wrong"] = ("%d/%d" % (sum(1 for r in sparse if r[1] is not None and r[1] <= TOLERANCE),
                                       sum(1 for r in sparse if r[1] is not None and r[1] > TOLERANCE))) if sparse else "-"
    secs = [r[2] for r in rows if r[2] is not None]
    s["s/pair"] = "%.3f" % statistics.median(secs) if secs else "-"
    return s


def main():
    set_dir = sys.argv[1]
    truth = read_tsv(set_dir + "/truth.tsv")
    sizes = {}
    for t in truth:
        wl, hl = part_size(set_dir + "/" + t["left"])
        wr, hr = part_size(set_dir + "/" + t["right"])
        tm = (float(t["angle_deg"]), float(t["dx"]), float(t["dy"]))
        sizes[t["id"]] = overlap_corners(tm, wl, hl, wr, hr)
    tools = []
    for arg in sys.argv[2:]:
        name, path = arg.split("=", 1)
        try:
            tools.append((name, {r["id"]: r for r in read_tsv(path)}))
        except OSError:
            print("(%s: no results)" % name)
    groups = OrderedDict()
    for t in truth:
        base = t["category"].split(" (")[0]
        for g in ("all", "all, sparse as alignable", "tuning half" if t["split"] == "tuning" else "held-out half", base,
                  "%s dpi" % t["dpi"], t["mode"]):
            groups.setdefault(g, []).append(t)
    columns = ["pairs", "aligned", "median px", "worst px", "wrong", "refused", "false", "narrow ok/wrong",
               "sparse ok/wrong", "s/pair"]
    # ok/x: aligned within the tolerance / answered wrongly (the rest were refused)
    print("success: right flip and every overlap corner within %.1f px; false: an answer on a negative or "
          "blank overlap that is not the truth" % TOLERANCE)
    labels = [{"narrow ok/wrong": "0.1in ok/x", "sparse ok/wrong": "sparse ok/x"}.get(c, c) for c in columns]
    widths = [max(9, len(label)) for label in labels]
    header = "%-26s %-22s " % ("group", "tool") + " ".join("%*s" % (w, l) for w, l in zip(widths, labels))
    print(header)
    print("-" * len(header))
    for g, members in groups.items():
        for name, results in tools:
            rows = []
            for t in members:
                r = results.get(t["id"], {"status": "missing"})
                e = error_of(t, r, sizes[t["id"]])
                secs = float(r["seconds"]) if r.get("seconds") else None
                kind = kind_of(t)
                if g == "all, sparse as alignable" and kind == "sparse":
                    kind = "alignable"
                rows.append((kind, e, secs))
            s = summarise(rows)
            print("%-26s %-22s " % (g, name) + " ".join("%*s" % (w, s[c]) for w, c in zip(widths, columns)))
    # The speed of ours against each peer, on the same pairs.
    if tools:
        base = tools[0]
        for name, results in tools[1:]:
            ratios = []
            for t in truth:
                a, b = base[1].get(t["id"], {}), results.get(t["id"], {})
                if a.get("seconds") and b.get("seconds") and float(a["seconds"]) > 0:
                    ratios.append(float(b["seconds"]) / float(a["seconds"]))
            if ratios:
                print("speed: %s takes %.1fx the time of %s (median over pairs)" % (name, statistics.median(ratios), base[0]))
    # Our refusals and failures, for reading.
    name, results = tools[0] if tools else (None, {})
    print("\n%s, pairs not aligned or wrongly answered:" % name)
    for t in truth:
        r = results.get(t["id"], {"status": "missing"})
        e = error_of(t, r, sizes[t["id"]])
        expected = kind_of(t) == "alignable"
        if (expected and (e is None or e > TOLERANCE)) or (not expected and e is not None and e > TOLERANCE):
            print("  %s %-24s %s dpi %-8s overlap %s content %4s angle %6.2f: %s" % (
                t["id"], t["category"], t["dpi"], t["mode"], t["overlap_in"], t.get("content_in", "-"),
                float(t["angle_deg"]),
                "refused (%s)" % r.get("reason", "") if e is None else "error %.2f px" % e))


if __name__ == "__main__":
    main()
