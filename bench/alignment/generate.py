#!/usr/bin/python3
"""Scan pairs with known truth, cut from real content that Debian packages ship.

A sheet of A3 landscape shape (16.5 x 11.7 inches) is built at the scan resolution from a manual's
pages (pdftoppm), a wallpaper photograph or a map. The left pass sees the sheet's left 8.5 inches;
the right pass sees it through a rigid map (turn, shift, overlap) resampled with Lanczos, and is
stored turned by 180 degrees when the sheet was turned. Each pass gets its own slight blur, noise,
exposure and JPEG coding (line art: a threshold to 1 bit). Truth is written in the estimator's
convention: x_left = cos(a) x_r - sin(a) y_r + dx, y_left = sin(a) x_r + cos(a) y_r + dy, with
(x_r, y_r) taken after the right part is turned back.

Usage: generate.py OUT_DIR [--count N] [--seed S] [--jobs J]
"""
import argparse
import gzip
import math
import multiprocessing
import os
import random
import shutil
import subprocess
import sys
import tempfile

import cv2
import numpy as np

DOC = "/usr/share/doc/"
ASYMPTOTE = DOC + "asymptote/asymptote.pdf"
EXEMPLIFIER = DOC + "texlive-doc/metapost/featpost/doc/Exemplifier.pdf"
# (manual, pages): three manuals of different typesetting for text, two for line drawings.
TEXT_SOURCES = [
    (ASYMPTOTE, list(range(4, 41)) + list(range(56, 92)) + list(range(150, 160)) + list(range(170, 186))),
    (DOC + "gnuplot/gnuplot.pdf", list(range(21, 300))),
    (DOC + "valgrind/valgrind_manual.pdf.gz", list(range(15, 390)))]
DRAWING_SOURCES = [
    (ASYMPTOTE, [42, 47, 48, 93, 95, 98, 100, 105, 106, 107, 108, 121, 122, 127, 128, 131, 133, 135,
                 141, 143, 147, 148, 161, 164, 165, 166, 167]),
    (EXEMPLIFIER, list(range(3, 101)))]
_BG = "/usr/share/backgrounds/"
_PLASMA = "/usr/share/wallpapers/%s/contents/images/2560x1600.jpg"
PHOTOS = [_BG + "mate/nature/" + n for n in (
    "Aqua.jpg", "Blinds.jpg", "Dune.jpg", "FreshFlower.jpg", "Garden.jpg", "GreenMeadow.jpg",
    "LadyBird.jpg", "RainDrops.jpg", "Storm.jpg", "TwoWings.jpg", "Wood.jpg", "YellowFlower.jpg")] + [
    _BG + "mate/abstract/Elephants_3840x2160.jpg"] + [_BG + n + ".jpg" for n in (
        "Kleiber_by_Lukas_Baubkus", "Bridge_by_Sander_Klootwijk", "Dragonfly_by_Bolly",
        "Painting-Colors_by__herobrine7gamer", "Wine_by_Jakkub_Mede", "aitzgorri_by_Aitzol_Berasategi",
        "friends_by_Aitzol_Berasategi", "picosdeeuropa_by_Aitzol_Berasategi", "sunset_by_Aitzol_Berasategi",
        "umang_by_Abhishek_Mudgal", "life_by_Aitzol_Berasategi", "greentock_by_Peter_Nerlich")] + [
    _PLASMA % n for n in ("ColdRipple", "Grey", "OneStandsOut", "Path", "BytheWater", "EveningGlow",
                          "FallenLeaf", "ColorfulCups")]
MAPS = ["/usr/share/xplanet/images/earth.jpg", "/usr/share/xplanet/images/night.jpg"]

SHEET_W, SHEET_H, GLASS_W = 16.5, 11.7, 8.5

_page_cache = {}


_unpacked = {}


def manual_path(manual):
    """pdftoppm reads no compressed files: a .pdf.gz is unpacked once into a folder of its own."""
    if not manual.endswith(".gz"):
        return manual
    if manual not in _unpacked:
        folder = tempfile.mkdtemp(prefix="alignment-manual-")
        path = os.path.join(folder, os.path.basename(manual)[:-3])
        with gzip.open(manual, "rb") as src, open(path, "wb") as dst:
            shutil.copyfileobj(src, dst)
        _unpacked[manual] = path
    return _unpacked[manual]


def render_page(manual, page, dpi):
    key = (manual, page, dpi)
    if key not in _page_cache:
        if len(_page_cache) > 6:
            _page_cache.clear()
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run(["pdftoppm", "-r", str(dpi), "-f", str(page), "-l", str(page), "-gray",
                            manual_path(manual), os.path.join(tmp, "p")], check=True,
                           stderr=subprocess.DEVNULL)
            name = [f for f in os.listdir(tmp)][0]
            _page_cache[key] = cv2.imread(os.path.join(tmp, name), cv2.IMREAD_GRAYSCALE)
    return _page_cache[key]


def spread(manual, pages, dpi, gutter_in):
    """Two manual pages side by side on a white A3 sheet, with a blank gutter between them."""
    sw, sh = round(SHEET_W * dpi), round(SHEET_H * dpi)
    sheet = np.full((sh, sw), 255, np.uint8)
    gutter = round(gutter_in * dpi)
    for i, page in enumerate(pages):
        img = render_page(manual, page, dpi)
        # Trim the page's outer margins so that two pages and the gutter fit the sheet.
        # Trim the page's side margins down to 0.15 inch of paper beside the type area.
        ink = np.where((img < 160).any(axis=0))[0]
        keep = round(0.15 * dpi)
        lo, hi = (max(0, ink[0] - keep), min(img.shape[1], ink[-1] + 1 + keep)) if len(ink) else (0, img.shape[1])
        img = img[:, lo:hi]
        h, w = img.shape
        x = sw // 2 - gutter // 2 - w if i == 0 else sw // 2 + (gutter - gutter // 2)
        y = max(0, (sh - h) // 2)
        x0, x1 = max(0, x), min(sw, x + w)
        sheet[y:y + min(h, sh), x0:x1] = img[:min(h, sh), x0 - x:x1 - x]
    return sheet


def picture(path, dpi, soft):
    sw, sh = round(SHEET_W * dpi), round(SHEET_H * dpi)
    img = cv2.imread(path, cv2.IMREAD_COLOR)
    h, w = img.shape[:2]
    scale = max(sw / w, sh / h)
    img = cv2.resize(img, (math.ceil(w * scale), math.ceil(h * scale)), interpolation=cv2.INTER_CUBIC)
    y0, x0 = (img.shape[0] - sh) // 2, (img.shape[1] - sw) // 2
    img = np.ascontiguousarray(img[y0:y0 + sh, x0:x0 + sw])
    if soft:
        img = cv2.GaussianBlur(img, (0, 0), 0.05 * dpi)
    return img


def degrade(img, rng, mode, dpi, gain=1.0, offset=0.0):
    out = img.astype(np.float32)
    sigma = rng.uniform(0.3, 0.7) * dpi / 300
    out = cv2.GaussianBlur(out, (0, 0), sigma)
    out = out * gain + offset
    out += np.random.default_rng(rng.randrange(1 << 30)).normal(0, rng.uniform(1.0, 2.5), out.shape).astype(np.float32)
    out = np.clip(out, 0, 255).astype(np.uint8)
    if mode == "grey" and out.ndim == 3:
        out = cv2.cvtColor(out, cv2.COLOR_BGR2GRAY)
    if mode == "lineart":
        if out.ndim == 3:
            out = cv2.cvtColor(out, cv2.COLOR_BGR2GRAY)
        return out < 128  # True = black
    quality = rng.randrange(78, 93)
    ok, data = cv2.imencode(".jpg", out, [cv2.IMWRITE_JPEG_QUALITY, quality])
    assert ok
    return data


def write_part(path_base, part):
    if part.dtype == bool:
        h, w = part.shape
        path = path_base + ".pbm"
        with open(path, "wb") as f:
            f.write(b"P4\n%d %d\n" % (w, h))
            f.write(np.packbits(part, axis=1).tobytes())
    else:
        path = path_base + ".jpg"
        part.tofile(path)
    return os.path.basename(path)


def cut_pair(sheet_left, sheet_right, dpi, overlap_in, angle_deg, shift_in, flipped, centre_in=0.0):
    """The two passes: the left sees the sheet's left glass width, the right sees sheet_right
    through the map; returns left, right (stored) and the truth (dx, dy)."""
    gw = round(GLASS_W * dpi)
    h = sheet_left.shape[0]
    sw = sheet_left.shape[1]
    # centre_in moves the overlap off the sheet's middle (onto a page's type rather than the gutter).
    x0 = (sw - (2 * gw - round(overlap_in * dpi))) // 2 + round(centre_in * dpi)
    x0 = min(max(0, x0), sw - gw)
    left = sheet_left[:, x0:x0 + gw]
    a = math.radians(angle_deg)
    c, s = math.cos(a), math.sin(a)
    # The right part's left edge at half height lands overlap_in inside the left part's right edge.
    px, py = 0.0, (h - 1) / 2
    dx = gw - overlap_in * dpi - (c * px - s * py)
    dy = py + shift_in * dpi - (s * px + c * py)
    m = np.array([[c, -s, dx + x0], [s, c, dy]], np.float64)
    border = 255 if sheet_right.ndim == 2 else (255, 255, 255)
    right = cv2.warpAffine(sheet_right, m, (gw, h), flags=cv2.INTER_LANCZOS4 | cv2.WARP_INVERSE_MAP,
                           borderMode=cv2.BORDER_CONSTANT, borderValue=border)
    if flipped:
        right = np.ascontiguousarray(right[::-1, ::-1])
    return left, right, dx, dy


def overlap_content(left, dx, dy, angle_deg, dpi):
    """How far along the seam the true overlap shows something (inches): the stretch between the
    first and the last 0.1-inch row of cells of the clean left pass, inside the overlap, whose grey
    varies (standard deviation above 3 levels). A pair with little there cannot be placed from its
    content; the scorer reports such pairs apart."""
    g = left if left.ndim == 2 else cv2.cvtColor(left, cv2.COLOR_BGR2GRAY)
    cell = max(2, round(0.1 * dpi))
    rows, cols = g.shape[0] // cell, g.shape[1] // cell
    std = g[:rows * cell, :cols * cell].astype(np.float32).reshape(rows, cell, cols, cell).std(axis=(1, 3))
    ys, xs = np.mgrid[0:rows, 0:cols]
    cx, cy = xs * cell + (cell - 1) / 2 - dx, ys * cell + (cell - 1) / 2 - dy
    a = math.radians(angle_deg)
    qx, qy = math.cos(a) * cx + math.sin(a) * cy, -math.sin(a) * cx + math.cos(a) * cy
    covered = (qx >= 0) & (qx <= g.shape[1] - 1) & (qy >= 0) & (qy <= g.shape[0] - 1)
    textured = np.where((covered & (std > 3)).any(axis=1))[0]
    return (textured[-1] - textured[0] + 1) * cell / dpi if len(textured) else 0.0


def plan(count):
    """(category, kind, source kind, mode) for each pair; kinds: alignable, narrow, blank, negative."""
    mix = [("text", "alignable", "text", None, 24), ("drawing", "alignable", "drawing", "lineart", 20),
           ("photo", "alignable", "photo", None, 26), ("soft photo", "alignable", "softphoto", None, 14),
           ("map", "alignable", "map", "colour", 8), ("gutter", "alignable", "gutter", None, 10),
           ("0.1 in overlap", "narrow", "text", None, 10), ("blank overlap", "blank", "blankgutter", None, 10),
           ("different sheets", "negative", "mixed", None, 26)]
    total = sum(m[-1] for m in mix)
    out = []
    for name, kind, source, mode, n in mix:
        for _ in range(max(1, round(n * count / total))):
            out.append((name, kind, source, mode))
    return out


def text_spread(rng, dpi, gutter):
    manual, pages = rng.choice(TEXT_SOURCES)
    p = rng.choice(pages[:-1])
    return spread(manual, (p, p + 1), dpi, gutter)


def drawing_spread(rng, dpi):
    manual, pages = rng.choice(DRAWING_SOURCES)
    return spread(manual, rng.sample(pages, 2), dpi, 0.3)


def make_pair(task):
    """One pair from its own random stream (so that pairs can be made in any order); returns its
    truth row."""
    index, (category, kind, source, mode), seed, out_dir = task
    rng = random.Random(seed * 1000003 + index)
    dpi = rng.choices([150, 300, 600], weights=[5, 5, 1])[0]
    flipped = rng.random() < 0.6
    angle = rng.uniform(-3, 3)
    shift = rng.uniform(-1, 1)
    overlap = rng.uniform(0.2, 2.0)
    if kind == "narrow":
        overlap, angle = 0.1, rng.uniform(-0.3, 0.3)
    if source in ("text", "gutter", "blankgutter", "mixed") and mode is None:
        mode = rng.choice(["grey", "lineart"])
    if source in ("photo", "softphoto") and mode is None:
        mode = rng.choice(["colour", "colour", "grey"])
    if source == "mixed":
        other = rng.choice(["text", "photo", "drawing"])
        if other == "text":
            a, b = text_spread(rng, dpi, 0.3), text_spread(rng, dpi, 0.3)
        elif other == "drawing":
            a, b = drawing_spread(rng, dpi), drawing_spread(rng, dpi)
            mode = "lineart"
        else:
            p = rng.sample(PHOTOS, 2)
            a, b = picture(p[0], dpi, False), picture(p[1], dpi, False)
            mode = rng.choice(["colour", "grey"])
        category = "different sheets (%s)" % other
        left_sheet, right_sheet = a, b
    elif source in ("text", "gutter", "blankgutter"):
        gutter = 0.3
        if source == "gutter":
            overlap = rng.uniform(1.2, 2.0)
            gutter = rng.uniform(0.4, 0.8)
        if source == "blankgutter":
            overlap = rng.uniform(0.2, 0.5)
            angle = rng.uniform(-1, 1)
            gutter = 1.6  # wider than the overlap and its turn: the overlap sees only paper
        left_sheet = right_sheet = text_spread(rng, dpi, gutter)
    elif source == "drawing":
        left_sheet = right_sheet = drawing_spread(rng, dpi)
    elif source == "map":
        left_sheet = right_sheet = picture(rng.choice(MAPS), dpi, False)
    else:
        left_sheet = right_sheet = picture(rng.choice(PHOTOS), dpi, source == "softphoto")
    centre = 0.0
    if source in ("text", "drawing", "mixed", "photo", "softphoto", "map"):
        centre = rng.choice([-1, 1]) * rng.uniform(1.5, 3.0)
    left, right, dx, dy = cut_pair(left_sheet, right_sheet, dpi, overlap, angle, shift, flipped, centre)
    if left.ndim == 2 and mode == "colour":
        mode = "grey"
    gain, offset = rng.uniform(0.96, 1.04), rng.uniform(-4, 4)
    name = "pair%03d" % index
    lf = write_part(os.path.join(out_dir, name + "-left"), degrade(left, rng, mode, dpi))
    rf = write_part(os.path.join(out_dir, name + "-right"), degrade(right, rng, mode, dpi, gain, offset))
    content = overlap_content(left, dx, dy, angle, dpi)
    return [name, category, kind, str(dpi), mode, lf, rf, "1" if flipped else "0", "%.6f" % angle,
            "%.4f" % dx, "%.4f" % dy, "%.3f" % overlap, "held-out" if index % 2 else "tuning", "%.2f" % content]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--count", type=int, default=200)
    ap.add_argument("--seed", type=int, default=16)
    ap.add_argument("--jobs", type=int, default=1)
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    tasks = [(i, job, args.seed, args.out) for i, job in enumerate(plan(args.count))]
    # The truth file is written last, so that a set cut short is made again by the next run.
    rows = []
    with multiprocessing.Pool(max(1, args.jobs)) as pool:
        for row in pool.imap(make_pair, tasks):
            rows.append(row)
            print("\r%d/%d" % (len(rows), len(tasks)), end="", file=sys.stderr, flush=True)
    print(file=sys.stderr)
    with open(os.path.join(args.out, "truth.tsv"), "w") as manifest:
        manifest.write("id\tcategory\tkind\tdpi\tmode\tleft\tright\tflipped\tangle_deg\tdx\tdy\toverlap_in\tsplit\tcontent_in\n")
        for row in rows:
            manifest.write("\t".join(row) + "\n")


if __name__ == "__main__":
    main()
