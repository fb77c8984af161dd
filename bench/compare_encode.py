#!/usr/bin/python3
"""Encodes the same A4 300 dpi page through the gdiplus stand-in (bench_encode), Pillow and
the vips command line, and prints times, sizes and ratios.

    /usr/bin/python3 bench/compare_encode.py [BUILD_DIR]
"""
import io
import json
import os
import subprocess
import sys
import time

import numpy as np
from PIL import Image

W, H = 2480, 3508
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("LUM_BUILD_DIR", "build")


def ours():
    env = dict(os.environ, LUM_BENCH_DUMP="1")
    out = subprocess.run([os.path.join(BUILD, "bin", "bench_encode"), "--benchmark_format=json"],
                         env=env, capture_output=True, text=True, check=True).stdout
    res = {}
    for b in json.loads(out)["benchmarks"]:
        res[b["name"].split("/iterations")[0]] = (b["real_time"], b.get("bytes"))
    return res


def best(fn, n=3):
    times = []
    for _ in range(n):
        t = time.perf_counter()
        size = fn()
        times.append((time.perf_counter() - t) * 1000)
    return min(times), size


def pillow(page, mono):
    def save(fmt, **kw):
        def run():
            path = "/tmp/lum_pil." + fmt.lower()
            page.save(path, fmt, **kw)
            return os.path.getsize(path)
        return run

    def g4(n):
        def run():
            path = "/tmp/lum_pil_g4.tif"
            mono.save(path, "TIFF", compression="group4", save_all=True,
                      append_images=[mono] * (n - 1), dpi=(300, 300))
            return os.path.getsize(path)
        return run

    return {
        "BM_Bmp": best(save("BMP")),
        "BM_JpegQ75": best(save("JPEG", quality=75)),
        "BM_Png": best(save("PNG", compress_level=6), 1),
        "BM_Gif": best(save("GIF"), 1),
        "BM_TiffLzw": best(save("TIFF", compression="tiff_lzw")),
        "BM_MultipageG4/10": best(g4(10)),
        "BM_MultipageG4/20": best(g4(20)),
    }


def vips(page):
    src = "/tmp/lum_vips_in.v"
    subprocess.run(["vips", "copy", "/tmp/lum_pil.bmp", src], check=True)

    def run(target):
        def go():
            subprocess.run(["vips", "copy", src, target], check=True)
            return os.path.getsize(target.split("[")[0])
        return go

    return {
        "BM_JpegQ75": best(run("/tmp/lum_vips.jpg[Q=75]")),
        "BM_Png": best(run("/tmp/lum_vips.png[compression=6]"), 1),
        "BM_TiffLzw": best(run("/tmp/lum_vips.tif[compression=lzw]")),
    }


def main():
    mine = ours()
    bgr = np.fromfile("/tmp/lum_bench_page.raw", np.uint8).reshape(H, W, 3)
    page = Image.fromarray(np.ascontiguousarray(bgr[:, :, ::-1]))
    mono = Image.frombytes("1", (W, H), open("/tmp/lum_bench_bilevel.raw", "rb").read())
    pil = pillow(page, mono)
    vp = vips(page)
    print(f"{'work':22} {'ours ms':>9} {'Pillow ms':>10} {'ratio':>6} {'vips ms*':>9}"
          f" {'ours KB':>9} {'Pillow KB':>10}")
    for name, (t, size) in mine.items():
        pt, psize = pil.get(name, (None, None))
        vt = vp.get(name, (None, None))[0]
        ratio = f"{t / pt:6.2f}" if pt else "     -"
        print(f"{name:22} {t:9.1f} {pt or 0:10.1f} {ratio} {vt or 0:9.1f}"
              f" {(size or 0) / 1024:9.0f} {(psize or 0) / 1024:10.0f}")
    print("* vips: whole process (start-up and loading its own .v input included)")


if __name__ == "__main__":
    main()
