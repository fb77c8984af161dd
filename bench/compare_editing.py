#!/usr/bin/python3
"""The editing operations on one A4 300 dpi 24-bit page: the engine (bench_editing), Pillow in
this process on already decoded pixels, and the vips and ImageMagick command lines (whole
processes, as a script would run them). Prints milliseconds and the ratios: processor time for
the engine and Pillow, wall time for the command lines (vips may use several cores).

    /usr/bin/python3 bench/compare_editing.py [BUILD_DIR]
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np
from PIL import Image, ImageFilter

W, H = 2480, 3508
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("LUM_BUILD_DIR", "build")


def ours():
    out = subprocess.run([os.path.join(BUILD, "bin", "bench_editing"), "--benchmark_format=json",
                          "--benchmark_min_time=0.3"], capture_output=True, text=True, check=True).stdout
    # Processor time: on a shared machine the wall clock also counts other people's work.
    return {b["name"]: b["cpu_time"] for b in json.loads(out)["benchmarks"]}


def page():
    """The benchmark's page: white, a margin, lines of strokes and a photo block."""
    y, x = np.mgrid[0:H, 0:W]
    margin = (x < 236) | (y < 236) | (x >= W - 236) | (y >= H - 236)
    ink = ~margin & ((y // 12) % 3 == 0) & ((x // 7) % 6 != 0) & (y < 2400)
    photo = ~margin & (y >= 2500) & (x < 1800)
    a = np.full((H, W, 3), 255, np.uint8)
    a[ink] = 30
    a[..., 2][photo] = (x * 255 // W)[photo]
    a[..., 1][photo] = (y * 255 // H)[photo]
    a[..., 0][photo] = ((x + y) & 255)[photo]
    return Image.fromarray(a, "RGB")


def best(fn, n=3):
    times = []
    for _ in range(n):
        t = time.perf_counter()
        try:
            fn()
        except subprocess.CalledProcessError as e:  # a tool without that operation
            print("skipped:", " ".join(e.cmd[:2]), file=sys.stderr)
            return None
        times.append((time.perf_counter() - t) * 1000)
    return min(times)


def best_cpu(fn, n=3):
    times = []
    for _ in range(n):
        t = time.process_time()
        fn()
        times.append((time.process_time() - t) * 1000)
    return min(times)


def pillow(img):
    best = best_cpu  # Pillow runs in this process, on one core
    neg = [255 - i for i in range(256)]
    bright = [min(255, round(1.2 * i)) for i in range(256)]
    gamma = [round((i / 255) ** (1 / 1.2) * 255) for i in range(256)]
    smooth = ImageFilter.Kernel((3, 3), [0, 1, 0, 1, 1, 1, 0, 1, 0], 5)
    grey = img.convert("L")
    return {
        "BM_Negative": best(lambda: img.point(neg * 3)),
        "BM_Brightness": best(lambda: img.point(bright * 3)),
        "BM_Gamma": best(lambda: img.point(gamma * 3)),
        "BM_Smooth": best(lambda: img.filter(smooth)),
        "BM_Rotate90": best(lambda: img.transpose(Image.Transpose.ROTATE_270)),
        "BM_Rotate180": best(lambda: img.transpose(Image.Transpose.ROTATE_180)),
        "BM_FlipX": best(lambda: img.transpose(Image.Transpose.FLIP_LEFT_RIGHT)),
        "BM_ResizeHalfNearest": best(lambda: img.resize((W // 2, H // 2), Image.Resampling.NEAREST)),
        "BM_ResizeHalfHQBilinear": best(lambda: img.resize((W // 2, H // 2), Image.Resampling.BILINEAR)),
        "BM_ResizeHalfHQBicubic": best(lambda: img.resize((W // 2, H // 2), Image.Resampling.BICUBIC)),
        "BM_ConvertTo1Bpp": best(lambda: grey.point(lambda v: 255 if v > 125 else 0, "1")),
        "BM_ConvertTo8Bpp": best(lambda: img.quantize(256, method=Image.Quantize.FASTOCTREE), 1),
    }


def processes(folder):
    src_v, src_ppm = os.path.join(folder, "page.v"), os.path.join(folder, "page.ppm")
    out_v, out_ppm = os.path.join(folder, "out.v"), os.path.join(folder, "out.ppm")
    page().save(src_ppm)
    mask = os.path.join(folder, "smooth.mat")
    with open(mask, "w") as f:
        f.write("3 3 5 0\n0 1 0\n1 1 1\n0 1 0\n")
    res = {}
    if shutil.which("vips"):
        subprocess.run(["vips", "copy", src_ppm, src_v], check=True)
        vips = {
            "BM_Negative": ["invert", src_v, out_v],
            "BM_Brightness": ["linear", src_v, out_v, "1.2", "0", "--uchar"],
            "BM_Smooth": ["conv", src_v, out_v, mask, "--precision", "integer"],
            "BM_Rotate90": ["rot", src_v, out_v, "d90"],
            "BM_FlipX": ["flip", src_v, out_v, "horizontal"],
            "BM_ResizeHalfHQBicubic": ["resize", src_v, out_v, "0.5", "--kernel", "cubic"],
            "BM_ConvertTo1Bpp": ["relational_const", src_v, out_v, "moreeq", "126"],
        }
        res["vips"] = {k: best(lambda a=a: subprocess.run(["vips"] + a, check=True)) for k, a in vips.items()}
    if shutil.which("convert"):
        im = {
            "BM_Negative": ["-negate"],
            "BM_Brightness": ["-evaluate", "multiply", "1.2"],
            "BM_Gamma": ["-gamma", "1.2"],
            "BM_Smooth": ["-morphology", "Convolve", "3x3:0,0.2,0,0.2,0.2,0.2,0,0.2,0"],
            "BM_Rotate90": ["-rotate", "90"],
            "BM_FlipX": ["-flop"],
            "BM_ResizeHalfHQBicubic": ["-filter", "Catrom", "-resize", "50%"],
            "BM_ConvertTo1Bpp": ["-threshold", "49%", "-monochrome"],
            "BM_Sepia": ["-sepia-tone", "80%"],
        }
        res["magick"] = {k: best(lambda a=a: subprocess.run(["convert", src_ppm] + a + [out_ppm], check=True), 1)
                         for k, a in im.items()}
    return res


def main():
    mine = ours()
    base = mine.get("BM_TablePass24")
    pil = pillow(page())
    with tempfile.TemporaryDirectory() as d:
        others = processes(d)
    print("%-26s %9s %9s %9s %9s %11s %8s %8s" % ("operation", "ours ms", "/table", "Pillow", "vips", "ImageMagick",
                                                  "Pil/ours", "IM/ours"))
    for name, t in mine.items():
        p = pil.get(name)
        v = others.get("vips", {}).get(name)
        m = others.get("magick", {}).get(name)
        fmt = lambda x: "%9.1f" % x if x is not None else "%9s" % "-"
        print("%-26s %9.1f %9.2f %s %s %11s %8s %8s" % (
            name, t, t / base if base else 0, fmt(p), fmt(v), ("%.1f" % m) if m else "-",
            ("%.2f" % (p / t)) if p else "-", ("%.1f" % (m / t)) if m else "-"))


if __name__ == "__main__":
    main()
