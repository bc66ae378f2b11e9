#!/usr/bin/python3
"""Draws the window's background picture and the program icon.

    resources/make_pictures.py [OUTPUT_DIR]

writes background.png (600 x 350, RGB, 8 bits per channel, not interlaced), orvimet.ico
(one 64 x 64 image in 32-bit colour) and the icon theme's sizes of the same icon
(hicolor/NxN/apps/org.halvorn.orvimet.png, RGBA) into OUTPUT_DIR, by default the folder of this
script.
Needs Debian's python3-pil. The random generator has a fixed seed, so a run with the same Pillow
reproduces the committed files byte for byte.

The picture lies behind black Chinese labels, line edits and buttons, so everything in it stays
light: soft pink and violet on an almost white ground, with the darker strokes thin and faint.
"""

import math
import random
import struct
import sys
from pathlib import Path

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

WIDTH, HEIGHT = 600, 350
# Shapes are drawn this many times larger and scaled down, which smooths their edges.
SCALE = 4
SEED = 20240311

PINK = (246, 214, 232)
VIOLET = (222, 212, 246)
GLYPHS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def ground():
    """A diagonal wash from pale pink at the top left to pale violet at the bottom right."""
    top_left, bottom_right = (253, 242, 248), (243, 238, 253)
    img = Image.new("RGB", (WIDTH, HEIGHT))
    px = img.load()
    for y in range(HEIGHT):
        for x in range(WIDTH):
            t = (x / WIDTH) * 0.65 + (y / HEIGHT) * 0.35
            px[x, y] = mix(top_left, bottom_right, t)
    return img


def blend(base, layer, mask):
    """Paints the colour layer over the base where the grey mask is light."""
    return Image.composite(layer, base, mask)


def clouds(img, rng):
    """A few large blurred patches of pink and violet."""
    for _ in range(7):
        mask = Image.new("L", (WIDTH, HEIGHT), 0)
        r = rng.randint(60, 140)
        cx, cy = rng.randint(0, WIDTH), rng.randint(0, HEIGHT)
        ImageDraw.Draw(mask).ellipse((cx - r, cy - r, cx + r, cy + r), fill=rng.randint(60, 110))
        mask = mask.filter(ImageFilter.GaussianBlur(r / 2))
        colour = PINK if rng.random() < 0.5 else VIOLET
        img = blend(img, Image.new("RGB", img.size, colour), mask)
    return img


def glyph_columns(img, rng):
    """Columns of scattered capital letters and digits, like a faint table of codes."""
    font = ImageFont.load_default()
    mask = Image.new("L", (WIDTH, HEIGHT), 0)
    tint = Image.new("RGB", (WIDTH, HEIGHT), (0, 0, 0))
    for x in range(8, WIDTH, 26):
        y = rng.randint(-20, 10)
        colour = mix((214, 120, 176), (150, 120, 214), x / WIDTH)
        while y < HEIGHT:
            size = rng.choice((1, 2, 2, 3))
            text = "".join(rng.choice(GLYPHS) for _ in range(rng.randint(1, 3)))
            # The built-in bitmap font is drawn small and enlarged, so the picture depends on no
            # font file.
            w, h = font.getbbox(text)[2:]
            small = Image.new("L", (w, h), 0)
            ImageDraw.Draw(small).text((0, 0), text, fill=255, font=font)
            big = small.resize((w * size, h * size), Image.BILINEAR)
            strength = rng.randint(30, 80)
            big = big.point(lambda v, s=strength: v * s // 255)
            dx = x + rng.randint(-3, 3)
            mask.paste(ImageChops.lighter(mask.crop((dx, y, dx + big.width, y + big.height)), big),
                       (dx, y))
            ImageDraw.Draw(tint).rectangle((dx, y, dx + big.width, y + big.height), fill=colour)
            y += big.height + rng.randint(6, 40)
    return blend(img, tint, mask)


def circle_figure(img, rng):
    """A large dial on the right: rings, ticks, spokes and a few arcs."""
    cx, cy, r = 470 * SCALE, 178 * SCALE, 150 * SCALE
    mask = Image.new("L", (WIDTH * SCALE, HEIGHT * SCALE), 0)
    d = ImageDraw.Draw(mask)

    def ring(radius, width, strength):
        d.ellipse((cx - radius, cy - radius, cx + radius, cy + radius), outline=strength,
                  width=width)

    ring(r, 3 * SCALE, 110)
    ring(r - 10 * SCALE, SCALE, 90)
    ring(r * 0.72, 2 * SCALE, 100)
    ring(r * 0.45, SCALE, 90)
    ring(r * 0.2, 2 * SCALE, 110)
    for i in range(120):
        a = 2 * math.pi * i / 120
        inner = r - (16 if i % 10 == 0 else 8) * SCALE
        d.line((cx + inner * math.cos(a), cy + inner * math.sin(a), cx + (r - 10 * SCALE) *
                math.cos(a), cy + (r - 10 * SCALE) * math.sin(a)), fill=90, width=SCALE)
    for i in range(12):
        a = 2 * math.pi * i / 12 + math.pi / 12
        d.line((cx + r * 0.2 * math.cos(a), cy + r * 0.2 * math.sin(a), cx + r * 0.72 *
                math.cos(a), cy + r * 0.72 * math.sin(a)), fill=70, width=SCALE)
    for _ in range(6):
        radius = r * rng.uniform(0.5, 0.95)
        start = rng.uniform(0, 360)
        d.arc((cx - radius, cy - radius, cx + radius, cy + radius), start,
              start + rng.uniform(30, 110), fill=120, width=3 * SCALE)
    mask = mask.resize((WIDTH, HEIGHT), Image.LANCZOS)
    return blend(img, Image.new("RGB", img.size, (176, 136, 214)), mask)


def background():
    rng = random.Random(SEED)
    img = ground()
    img = clouds(img, rng)
    img = glyph_columns(img, rng)
    img = circle_figure(img, rng)
    # Fewer distinct colours keep the file small; the eye sees no difference on such soft tones.
    return img.quantize(colors=96, method=Image.MEDIANCUT, dither=Image.NONE).convert("RGB")


def icon_image(size=64):
    """size x size with transparency: a violet disc holding a white tick on a pink ring. The
    shapes are laid out on a grid of 64 and drawn SCALE times larger than the size asked for."""
    n = size * SCALE
    u = n / 64

    def at(*points):
        return [round(v * u) for v in points]

    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.ellipse(at(2, 2, 62, 62), fill=(232, 120, 180, 255))
    d.ellipse(at(8, 8, 56, 56), fill=(128, 84, 196, 255))
    tick = at(19, 33, 28, 43, 46, 22)
    d.line(list(zip(tick[0::2], tick[1::2])), fill=(255, 255, 255, 255), width=round(6 * u),
           joint="curve")
    return img.resize((size, size), Image.LANCZOS)


# The sizes that desktops ask the icon theme for, menus through application overviews.
THEME_SIZES = (16, 24, 32, 48, 64, 128, 256)
ICON_NAME = "org.halvorn.orvimet"


def ico_bytes(img):
    """One 32-bit image in the classic bitmap form of an icon file, readable by every resource
    compiler: BGRA rows bottom up, followed by an all-clear AND mask."""
    w, h = img.size
    rows = []
    for y in reversed(range(h)):
        for x in range(w):
            r, g, b, a = img.getpixel((x, y))
            rows.append(bytes((b, g, r, a)))
    pixels = b"".join(rows)
    mask_row = ((w + 31) // 32) * 4
    mask = bytes(mask_row * h)
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0,
                       0)
    data = info + pixels + mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), 6 + 16)
    return header + entry + data


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    out.mkdir(parents=True, exist_ok=True)
    background().save(out / "background.png", optimize=True)
    (out / "orvimet.ico").write_bytes(ico_bytes(icon_image()))
    for size in THEME_SIZES:
        folder = out / "hicolor" / f"{size}x{size}" / "apps"
        folder.mkdir(parents=True, exist_ok=True)
        icon_image(size).save(folder / f"{ICON_NAME}.png", optimize=True)


if __name__ == "__main__":
    main()
