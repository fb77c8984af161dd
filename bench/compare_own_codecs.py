#!/usr/bin/python3
"""The own codecs side by side with Pillow, ImageMagick and netpbm on one A4 300 dpi
photograph (2480 x 3508, synthesised with the statistics of a photograph: a 1/f landscape,
soft shapes and grain):

  - QuantizeTo8Bpp + WriteGif89a (bench_own_codecs, in process) against Pillow's fast octree
    quantize(256, method=2) plus its GIF writer (in process) and ImageMagick's
    convert -colors 256 (a whole process); SaveAsGifI and the platform encoder's SaveAsGif;
  - the mean squared error of the 256-colour reductions (ours, Pillow's fast octree and median
    cut, ImageMagick without and with dithering);
  - ReadPnm / WritePnm against copying the same bytes, and netpbm's pamtopnm reading and
    writing the page as a whole process.

    /usr/bin/python3 bench/compare_own_codecs.py [BUILD_DIR]
Times are the best of a few runs, wall clock and CPU.
"""
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np
from PIL import Image

W, H = 2480, 3508
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("LUM_BUILD_DIR", "build")
CONVERT = "/usr/bin/convert"
TMP = tempfile.mkdtemp(prefix="lum_cmp_own_")


def photograph(seed=3):
    rng = np.random.default_rng(seed)
    img = np.zeros((H, W, 3), np.float32)
    for scale in (1024, 512, 256, 128, 64, 32, 16, 8, 4):
        small = rng.normal(0, 1, (H // scale + 2, W // scale + 2, 3)).astype(np.float32)
        up = np.asarray(Image.fromarray(small[:, :, 0]).resize((W, H), Image.BILINEAR))
        for c in range(3):
            layer = up if c == 0 else np.asarray(
                Image.fromarray(small[:, :, c]).resize((W, H), Image.BILINEAR))
            img[:, :, c] += layer * (scale ** 0.8) * 0.35
    mix = np.array([[1.0, 0.5, 0.2], [0.4, 1.0, 0.3], [0.1, 0.6, 1.0]], np.float32)
    img = img @ mix.T
    y, x = np.mgrid[0:H, 0:W].astype(np.float32)
    img[:, :, 2] += 60 * (1 - y / H)  # a sky towards the top
    for cx, cy, r, col in ((900, 1200, 400, (90, -40, -60)), (1700, 2600, 550, (-50, 40, -30))):
        d = np.clip(1 - np.hypot(x - cx, y - cy) / r, 0, 1)[:, :, None]
        img += d * np.array(col, np.float32)
    img = img - img.mean((0, 1)) + np.array([120, 125, 115], np.float32)
    img += rng.normal(0, 3, img.shape).astype(np.float32)
    return np.clip(img, 0, 255).astype(np.uint8)


def best(fn, n=3):
    walls, cpus, out = [], [], None
    for _ in range(n):
        w, c = time.perf_counter(), time.process_time()
        out = fn()
        cpus.append((time.process_time() - c) * 1000)
        walls.append((time.perf_counter() - w) * 1000)
    return min(walls), min(cpus), out


def child_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (r.ru_utime + r.ru_stime) * 1000


def process(args, n=3, **kw):
    walls, cpus = [], []
    for _ in range(n):
        c0, w = child_cpu(), time.perf_counter()
        subprocess.run(args, check=True, **kw)
        walls.append((time.perf_counter() - w) * 1000)
        cpus.append(child_cpu() - c0)
    return min(walls), min(cpus)


def ours(photo_ppm):
    env = dict(os.environ, LUM_BENCH_PHOTO=photo_ppm, LUM_BENCH_OUT=TMP)
    out = subprocess.run([os.path.join(BUILD, "bin", "bench_own_codecs"), "--benchmark_format=json",
                          "--benchmark_min_time=1"], env=env, capture_output=True, text=True,
                         check=True).stdout
    return {b["name"].split("/")[0]: (b["real_time"], b["cpu_time"])
            for b in json.loads(out)["benchmarks"]}


def mse(a, b):
    return float(((a.astype(np.int32) - b.astype(np.int32)) ** 2).mean())


def main():
    rgb = photograph()
    ppm = os.path.join(TMP, "photo.ppm")
    Image.fromarray(rgb).save(ppm)
    im = Image.open(ppm)
    im.load()
    print(f"photograph {W} x {H}, {len(np.unique(rgb.reshape(-1, 3), axis=0))} colours\n")

    r = ours(ppm)
    q, g = r["BM_QuantizeTo8Bpp"], r["BM_WriteGif89a"]
    ours_gif = (q[0] + g[0], q[1] + g[1])

    def pillow_gif():
        im.quantize(256, method=2).save(os.path.join(TMP, "pil.gif"))
    pil = best(pillow_gif)
    pil_q = best(lambda: im.quantize(256, method=2))
    magick = process([CONVERT, ppm, "-colors", "256", os.path.join(TMP, "im.gif")], n=2)

    print("256-colour GIF of the photograph           wall ms    cpu ms")
    rows = [("ours QuantizeTo8Bpp", q), ("ours WriteGif89a", g),
            ("ours QuantizeTo8Bpp + WriteGif89a", ours_gif),
            ("ours SaveAsGifI (SaveGifOwnWriter)", r["BM_SaveGifOwnWriter"]),
            ("ours SaveAsGif (platform encoder)", r["BM_SaveGifPlatform"]),
            ("Pillow quantize(method=2)", pil_q[:2]), ("Pillow quantize(method=2) + GIF", pil[:2]),
            ("ImageMagick convert -colors 256 (process)", magick)]
    for name, (wall, cpu) in rows:
        print(f"  {name:<42} {wall:8.0f}  {cpu:8.0f}")
    for name, (wall, cpu) in rows[2:5]:
        print(f"  ratio {name} / Pillow: wall {wall / pil[0]:.2f}, cpu {cpu / pil[1]:.2f}")
    print(f"  ratio ours quantize+write / ImageMagick: wall {ours_gif[0] / magick[0]:.3f}")

    # Quality: the mean squared error per channel of each 256-colour reduction.
    raw = os.path.join(TMP, "ours.raw")
    subprocess.run([os.path.join(BUILD, "bin", "own_codecs_tool"), "quantize", ppm, raw],
                   check=True, capture_output=True)
    reductions = {"ours (octree)": np.fromfile(raw, np.uint8).reshape(H, W, 3),
                  "Pillow fast octree (method=2)": np.asarray(im.quantize(256, method=2).convert("RGB")),
                  "Pillow median cut (method=0)": np.asarray(im.quantize(256, method=0).convert("RGB"))}
    for name, cmd in (("SaveAsGifI (octree)", "save-gif"), ("SaveAsGif (platform encoder)", "save-gif-platform")):
        gif = os.path.join(TMP, cmd + ".gif")
        subprocess.run([os.path.join(BUILD, "bin", "own_codecs_tool"), cmd, ppm, gif], check=True,
                       capture_output=True)
        reductions["ours " + name] = np.asarray(Image.open(gif).convert("RGB"))
    for name, args in (("ImageMagick -colors 256 +dither", ["+dither"]),
                       ("ImageMagick -colors 256 (dithered)", [])):
        png = os.path.join(TMP, "im.png")
        subprocess.run([CONVERT, ppm, *args, "-colors", "256", png], check=True)
        reductions[name] = np.asarray(Image.open(png).convert("RGB"))
    print("\nmean squared error per channel of the 256-colour reduction")
    for name, red in reductions.items():
        print(f"  {name:<42} {mse(red, rgb):8.2f}")

    # PNM: reading and writing the 24-bit page (26 MB) against copying the same bytes.
    print("\nPNM of the 24-bit page                      wall ms    cpu ms")
    for name in ("BM_ReadPnm", "BM_ReadBytes", "BM_WritePnm", "BM_WriteBytes",
                 "BM_LoadPpmThroughEngine"):
        print(f"  ours {name[3:]:<37} {r[name][0]:8.1f}  {r[name][1]:8.1f}")
    netpbm = process(["sh", "-c", f"pamtopnm {ppm} > {os.path.join(TMP, 'np.ppm')}"])
    rw = (r["BM_ReadPnm"][0] + r["BM_WritePnm"][0], r["BM_ReadPnm"][1] + r["BM_WritePnm"][1])
    copy = (r["BM_ReadBytes"][0] + r["BM_WriteBytes"][0], r["BM_ReadBytes"][1] + r["BM_WriteBytes"][1])
    print(f"  netpbm pamtopnm read + write (process)    {netpbm[0]:8.1f}  {netpbm[1]:8.1f}")
    print(f"  ratio ReadPnm / copying the bytes in: wall {r['BM_ReadPnm'][0] / r['BM_ReadBytes'][0]:.2f}"
          f", cpu {r['BM_ReadPnm'][1] / r['BM_ReadBytes'][1]:.2f}")
    print(f"  ratio WritePnm / writing the bytes out: wall {r['BM_WritePnm'][0] / r['BM_WriteBytes'][0]:.2f}"
          f", cpu {r['BM_WritePnm'][1] / r['BM_WriteBytes'][1]:.2f}")
    print(f"  ratio ours read + write / netpbm process: wall {rw[0] / netpbm[0]:.2f}, "
          f"cpu {rw[1] / netpbm[1]:.2f}; / copying: wall {rw[0] / copy[0]:.2f}")


if __name__ == "__main__":
    try:
        main()
    finally:
        shutil.rmtree(TMP, ignore_errors=True)
