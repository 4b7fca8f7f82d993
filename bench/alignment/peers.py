#!/usr/bin/python3
"""The evaluation set through the peers, written in the estimator's result format.

  stitcher   OpenCV's stitcher in scans mode on the two whole parts (it turns and shifts by itself).
  phasecorr  OpenCV phase correlation of the facing 2.4-inch strips, for both ways round; the way
             with the stronger response wins, a response under 0.02 is a refusal.
  skimage    scikit-image phase_cross_correlation (upsampled) on the same strips; the way with the
             smaller error wins.

Usage: peers.py SET_DIR OUT_DIR
"""
import math
import os
import sys
import time

import cv2
import numpy as np
from skimage.registration import phase_cross_correlation

STRIP_IN = 2.4


def read_tsv(path):
    with open(path) as f:
        head = f.readline().rstrip("\n").split("\t")
        return [dict(zip(head, line.rstrip("\n").split("\t"))) for line in f if line.strip()]


def load(path):
    img = cv2.imread(path, cv2.IMREAD_UNCHANGED)
    return img


def grey(img):
    return cv2.cvtColor(img, cv2.COLOR_BGR2GRAY) if img.ndim == 3 else img


def strips(left, right, dpi, turned):
    r = right[::-1, ::-1] if turned else right
    w = min(round(STRIP_IN * dpi), left.shape[1], r.shape[1])
    h = min(left.shape[0], r.shape[0])
    return left[:h, -w:].astype(np.float32), r[:h, :w].astype(np.float32), w


def to_map(left_w, w, sx, sy):
    # right strip pixel p matches left strip pixel p + s (modulo the strip width)
    if sx < 0:
        sx += w
    return 0.0, left_w - w + sx, sy


def phasecorr(left, right, dpi):
    lg, rg = grey(left), grey(right)
    best = None
    for turned in (False, True):
        a, b, w = strips(lg, rg, dpi, turned)
        win = cv2.createHanningWindow((a.shape[1], a.shape[0]), cv2.CV_32F)
        (sx, sy), response = cv2.phaseCorrelate(b, a, win)
        if best is None or response > best[0]:
            best = (response, turned, to_map(lg.shape[1], w, sx, sy))
    response, turned, m = best
    if response < 0.02:
        return None, "weak response %.3f" % response
    return (turned,) + m, ""


def skimage_pc(left, right, dpi):
    lg, rg = grey(left), grey(right)
    best = None
    for turned in (False, True):
        a, b, w = strips(lg, rg, dpi, turned)
        shift, error, _ = phase_cross_correlation(a, b, upsample_factor=10)
        if best is None or error < best[0]:
            best = (error, turned, to_map(lg.shape[1], w, float(shift[1]), float(shift[0])))
    error, turned, m = best
    # Its error measure sits at 1.0 on these strips, so it cannot tell a refusal: it always answers.
    return (turned,) + m, ""


def stitcher(left, right, dpi):
    lc = left if left.ndim == 3 else cv2.cvtColor(left, cv2.COLOR_GRAY2BGR)
    rc = right if right.ndim == 3 else cv2.cvtColor(right, cv2.COLOR_GRAY2BGR)
    s = cv2.Stitcher_create(cv2.Stitcher_SCANS)
    status = s.estimateTransform([lc, rc])
    if status != cv2.Stitcher_OK:
        return None, "status %d" % status
    if not hasattr(s, "cameras"):
        # This binding registers but does not hand out its cameras: an answer we cannot read back.
        return None, "registered; map not exposed"
    cams = s.cameras()
    if len(cams) != 2:
        return None, "one image left"
    # Registration ran on copies scaled to about 0.6 megapixels; the cameras are in those pixels.
    scale = min(1.0, math.sqrt(0.6e6 / (lc.shape[0] * lc.shape[1])))
    hs = []
    for c in cams:
        k = np.array([[c.focal, 0, c.ppx], [0, c.focal * c.aspect, c.ppy], [0, 0, 1]], np.float64)
        hs.append(k @ np.asarray(c.R, np.float64))
    m = np.linalg.inv(hs[0]) @ hs[1]
    s_ = np.diag([scale, scale, 1.0])
    m = np.linalg.inv(s_) @ m @ s_
    a = math.degrees(math.atan2(m[1, 0], m[0, 0]))
    turned = abs(a) > 90
    if turned:
        # Express the map for the right part turned back by 180 degrees.
        h, w = right.shape[:2]
        t = np.array([[-1, 0, w - 1], [0, -1, h - 1], [0, 0, 1]], np.float64)
        m = m @ t
        a = math.degrees(math.atan2(m[1, 0], m[0, 0]))
    return (turned, a, m[0, 2], m[1, 2]), ""


PEERS = {"stitcher": stitcher, "phasecorr": phasecorr, "skimage": skimage_pc}


def main():
    # One core for everyone, and processor time rather than the shared machine's wall clock.
    cv2.setNumThreads(1)
    set_dir, out_dir = sys.argv[1], sys.argv[2]
    names = sys.argv[3:] or list(PEERS)
    truth = read_tsv(os.path.join(set_dir, "truth.tsv"))
    outs = {n: open(os.path.join(out_dir, "results-%s.tsv" % n), "w") for n in names}
    for f in outs.values():
        f.write("id\tstatus\tflipped\tangle_deg\tdx\tdy\tconfidence\tseconds\treason\n")
    for i, t in enumerate(truth):
        dpi = int(t["dpi"])
        left, right = load(os.path.join(set_dir, t["left"])), load(os.path.join(set_dir, t["right"]))
        for n in names:
            start = time.process_time()
            try:
                found, why = PEERS[n](left, right, dpi)
            except cv2.error as e:
                found, why = None, "error: " + str(e).splitlines()[0][:60]
            secs = time.process_time() - start
            if found:
                outs[n].write("%s\tok\t%d\t%.6f\t%.4f\t%.4f\t\t%.4f\t\n" % (t["id"], int(found[0]), found[1], found[2], found[3], secs))
            else:
                outs[n].write("%s\trefused\t\t\t\t\t\t%.4f\t%s\n" % (t["id"], secs, why))
            outs[n].flush()
        print("\r%d/%d" % (i + 1, len(truth)), end="", file=sys.stderr, flush=True)
    print(file=sys.stderr)


if __name__ == "__main__":
    main()
