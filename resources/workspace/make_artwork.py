#!/usr/bin/env python3
"""Writes the workspace's cursor and icon artwork as SVG files (32 x 32, black outlines on white
so that they read on any picture). Run it again after changing a drawing; the SVG files are kept
in the repository so that a build needs no Python."""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
CURSORS = os.path.join(os.path.dirname(HERE), "cursors")

HEAD = '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">\n'
TAIL = "</svg>\n"
STROKE = 'fill="none" stroke="black" stroke-width="1.5" stroke-linecap="round" stroke-linejoin="round"'
HALO = 'fill="none" stroke="white" stroke-width="3.5" stroke-linecap="round" stroke-linejoin="round"'


def outlined(path):
    """A path drawn with a white halo under a black line."""
    return f'<path d="{path}" {HALO}/>\n<path d="{path}" {STROKE}/>\n'


def arrow_head(x, y, angle, size=4):
    a1 = angle + math.radians(150)
    a2 = angle - math.radians(150)
    return (f"M{x + size * math.cos(a1):.1f},{y + size * math.sin(a1):.1f} L{x},{y} "
            f"L{x + size * math.cos(a2):.1f},{y + size * math.sin(a2):.1f}")


def four_arrows():
    d = "M16,4 L16,28 M4,16 L28,16 "
    d += arrow_head(16, 4, -math.pi / 2) + " " + arrow_head(16, 28, math.pi / 2) + " "
    d += arrow_head(4, 16, math.pi) + " " + arrow_head(28, 16, 0)
    return outlined(d)


def circular_arrow(start_deg=30, end_deg=300, radius=10):
    s = math.radians(start_deg)
    e = math.radians(end_deg)
    x0, y0 = 16 + radius * math.cos(s), 16 - radius * math.sin(s)
    x1, y1 = 16 + radius * math.cos(e), 16 - radius * math.sin(e)
    large = 1 if (end_deg - start_deg) % 360 > 180 else 0
    d = f"M{x0:.1f},{y0:.1f} A{radius},{radius} 0 {large} 0 {x1:.1f},{y1:.1f} "
    tangent = -e - math.pi / 2  # screen direction of travel at the end (counter-clockwise)
    d += arrow_head(round(x1, 1), round(y1, 1), tangent + math.pi, 4)
    return outlined(d)


def lens(sign):
    body = '<circle cx="13" cy="13" r="8" fill="white" stroke="black" stroke-width="1.5"/>\n'
    body += outlined("M19,19 L28,28")
    if sign == "+":
        body += outlined("M9,13 L17,13 M13,9 L13,17")
    elif sign == "-":
        body += outlined("M9,13 L17,13")
    elif sign == "":
        pass
    else:
        body += outlined("M9,9 L17,17 M17,9 L9,17")
    return body


def grid_line(horizontal):
    if horizontal:
        return outlined("M2,16 L30,16 M16,8 L16,24 " + arrow_head(16, 8, -math.pi / 2) + " " +
                        arrow_head(16, 24, math.pi / 2))
    return outlined("M16,2 L16,30 M8,16 L24,16 " + arrow_head(8, 16, math.pi) + " " + arrow_head(24, 16, 0))


def flag(left):
    # The flag's tip is the picture's top corner on the pole side: top-right for the left flag,
    # top-left for the right flag. The cloth fills rows 0 to 14 and the pole ends at row 15, so
    # that all of the flag lies within 16 rows of its tip.
    if left:
        cloth = "M31,0.5 L17,0.5 L20,7 L17,14 L31,14 Z"
        pole = "M31,0 L31,16"
        colour = "#d02020"
    else:
        cloth = "M1,0.5 L15,0.5 L12,7 L15,14 L1,14 Z"
        pole = "M1,0 L1,16"
        colour = "#2050d0"
    return (f'<path d="{cloth}" fill="{colour}" stroke="black" stroke-width="1"/>\n'
            f'<path d="{pole}" stroke="black" stroke-width="2"/>\n')


def adjust():
    body = '<circle cx="16" cy="16" r="10" fill="white" stroke="black" stroke-width="1.5"/>\n'
    body += '<path d="M16,6 A10,10 0 0 1 16,26 Z" fill="black"/>\n'
    return body


def sector(index):
    # Rotation cursor for the sector index*45 degrees (counter-clockwise from the right).
    centre = index * 45
    return circular_arrow(centre - 60, centre + 60, 11) + '<circle cx="16" cy="16" r="2" fill="black"/>\n'


def content_join():
    """Two sheets as for the automatic merge, the right one a little turned and overlapping the
    left, with one line of the picture running on across both: they are joined by what they show."""
    left = '<rect x="4" y="6" width="13" height="20" fill="#f4f4f4" stroke="black" stroke-width="1.5"/>\n'
    right = ('<rect x="14" y="6" width="13" height="20" fill="#dfe8f8" fill-opacity="0.85" stroke="black" '
             'stroke-width="1.5" transform="rotate(8 20.5 16)"/>\n')
    wave = ('<path d="M6,20 C9,12 12,12 15,17 S21,22 25,12" fill="none" stroke="#d02020" stroke-width="2" '
            'stroke-linecap="round"/>\n')
    return left + right + wave


BUTTON_HEAD = '<svg xmlns="http://www.w3.org/2000/svg" width="27" height="27" viewBox="0 0 32 32">\n'


def palette_buttons():
    """Toolbar pictures, drawn on the same 32-unit grid as the cursors and shown at 27 x 27."""
    sheet = '<rect x="{x}" y="6" width="12" height="20" fill="{fill}" stroke="black" stroke-width="1.5"/>\n'
    two_sheets = sheet.format(x=5, fill="#f4f4f4") + sheet.format(x=15, fill="#dfe8f8")
    return {
        "auto_merge": two_sheets + '<text x="16" y="21" font-family="sans-serif" font-size="11" '
                      'font-weight="bold" text-anchor="middle">A</text>\n',
        "content_join": content_join(),
        "move": four_arrows(),
        "exchange": outlined("M6,11 L26,11 " + arrow_head(26, 11, 0) + " M26,21 L6,21 " + arrow_head(6, 21, math.pi)),
        "rotate": circular_arrow() + '<text x="16" y="20" font-family="sans-serif" font-size="9" '
                  'text-anchor="middle">180</text>\n',
        "zoom": lens("+"),
        "crop": outlined("M9,3 L9,23 L29,23 M3,9 L23,9 L23,29"),
        "grid": outlined("M3,16 L29,16 M16,3 L16,29") + '<circle cx="16" cy="16" r="3" fill="none" stroke="black"/>\n',
        "flags": '<g transform="translate(-8,7)">' + flag(True) + "</g>\n",
        "unite": '<g transform="translate(0,7)">'
                 '<path d="M16,0.5 L3,0.5 L6,7 L3,14 L16,14 Z" fill="#d02020" stroke="black" stroke-width="1"/>'
                 '<path d="M16,0.5 L29,0.5 L26,7 L29,14 L16,14 Z" fill="#2050d0" stroke="black" stroke-width="1"/>'
                 '<path d="M16,0 L16,18" stroke="black" stroke-width="2"/></g>\n',
        "adjust": adjust(),
        "magnifier": lens("") + '<rect x="9" y="9" width="8" height="8" fill="none" stroke="black"/>\n',
    }


def write(folder, name, body):
    with open(os.path.join(folder, name + ".svg"), "w", encoding="ascii") as f:
        f.write(HEAD + body + TAIL)


def main():
    os.makedirs(CURSORS, exist_ok=True)
    write(CURSORS, "move", four_arrows())
    write(CURSORS, "rotate", circular_arrow())
    write(CURSORS, "zoom_in", lens("+"))
    write(CURSORS, "zoom_out", lens("-"))
    write(CURSORS, "zoom_limit", lens("x"))
    write(CURSORS, "grid_horizontal", grid_line(True))
    write(CURSORS, "grid_vertical", grid_line(False))
    write(CURSORS, "flag_left", flag(True))
    write(CURSORS, "flag_right", flag(False))
    write(CURSORS, "adjust", adjust())
    for i in range(8):
        write(CURSORS, f"rotate_sector{i}", sector(i))
    write(HERE, "flag_left", flag(True))
    write(HERE, "flag_right", flag(False))
    for name, body in palette_buttons().items():
        with open(os.path.join(HERE, "palette_" + name + ".svg"), "w", encoding="ascii") as f:
            f.write(BUTTON_HEAD + body + TAIL)


if __name__ == "__main__":
    main()
