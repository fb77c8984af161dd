#!/usr/bin/python3
"""Decode speed of an A4 page at 300 dpi (2480 x 3508 RGB) as JPEG, PNG and TIFF (LZW):
our decoders (bench_decode), Pillow (Image.open(...).load() from memory) and libvips.

Usage: bench/compare_decode.py [BUILD_DIR]   (default $LUM_BUILD_DIR, else ./build)

The page is synthetic but photo-like (gradients, rings, noise), written once with Pillow, so
every decoder reads the same bytes. libvips is timed with pyvips when present, else as the
`vips copy page.x out.v` command: that includes process start (measured separately with
`vips --version` and subtracted) and writing the 26 MB .v file, so it flatters us a little.
Times are the median of several runs, in milliseconds; a ratio above 1 means we are faster.
"""
import io
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np
from PIL import Image

W, H = 2480, 3508
RUNS = 7


def page():
    y, x = np.mgrid[0:H, 0:W].astype(np.float32)
    d = np.hypot(x - 1240, y - 1500) / 40
    ring = 60 * np.sin(d)
    noise = np.random.default_rng(1).integers(-8, 8, (H, W, 3))
    img = np.stack([x * 255 / W, y * 255 / H + ring, 128 + ring], -1) + noise
    return Image.fromarray(np.clip(img, 0, 255).astype(np.uint8))


def median_ms(fn, runs=RUNS):
    times = []
    for _ in range(runs):
        t = time.perf_counter()
        fn()
        times.append((time.perf_counter() - t) * 1000)
    return statistics.median(times)


def pillow_ms(path):
    data = open(path, "rb").read()
    return median_ms(lambda: Image.open(io.BytesIO(data)).load())


def vips_ms(path, tmp):
    try:
        import pyvips  # noqa: F401
        data = open(path, "rb").read()
        return median_ms(lambda: pyvips.Image.new_from_buffer(data, "").write_to_memory()), "pyvips"
    except ImportError:
        pass
    vips = shutil.which("vips")
    if not vips:
        return None, "absent"
    out = os.path.join(tmp, "out.v")
    start = median_ms(lambda: subprocess.run([vips, "--version"], capture_output=True))
    copy = median_ms(lambda: subprocess.run([vips, "copy", path, out], check=True))
    return max(copy - start, 0.0), "vips copy (CLI, start-up subtracted)"


def ours_ms(build, tmp):
    exe = os.path.join(build, "bin", "bench_decode")
    env = dict(os.environ, LUM_BENCH_DECODE_DIR=tmp)
    proc = subprocess.run([exe, "--benchmark_format=json", f"--benchmark_repetitions={RUNS}",
                           "--benchmark_report_aggregates_only=true"],
                          capture_output=True, text=True, env=env, check=True)
    result = {}
    for b in json.loads(proc.stdout)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            name = b["run_name"].split("/")[-1]
            result[name] = b["real_time"]  # milliseconds (the benchmark's unit)
    return result


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("LUM_BUILD_DIR", "build")
    with tempfile.TemporaryDirectory() as tmp:
        im = page()
        files = {"jpeg": "a4.jpg", "png": "a4.png", "tiff_lzw": "a4_lzw.tif"}
        im.save(os.path.join(tmp, files["jpeg"]), quality=85)
        im.save(os.path.join(tmp, files["png"]), compress_level=6)
        im.save(os.path.join(tmp, files["tiff_lzw"]), compression="tiff_lzw")
        ours = ours_ms(build, tmp)
        print(f"A4 300 dpi page {W} x {H} RGB, median of {RUNS} runs, ms")
        print(f"{'format':<10}{'size KB':>9}{'ours':>9}{'Pillow':>9}{'vips':>9}"
              f"{'Pillow/ours':>13}{'vips/ours':>11}")
        how = ""
        for key, name in files.items():
            path = os.path.join(tmp, name)
            mine = ours.get(key)
            pil = pillow_ms(path)
            vips, how = vips_ms(path, tmp)
            vtxt = f"{vips:9.1f}" if vips is not None else f"{'-':>9}"
            vratio = f"{vips / mine:11.2f}" if vips is not None and mine else f"{'-':>11}"
            print(f"{key:<10}{os.path.getsize(path) / 1024:9.0f}{mine:9.1f}{pil:9.1f}{vtxt}"
                  f"{pil / mine:13.2f}{vratio}")
        print(f"libvips timed with: {how}")


if __name__ == "__main__":
    main()
