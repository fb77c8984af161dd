#!/usr/bin/python3
"""The viewer's repaint of an A4 page at 300 dpi (2480 x 3508 RGB) in a 1920 x 1080 window,
beside the anchor: Pillow resizing the whole page to a quarter, bilinear.

Usage: bench/compare_viewer.py [BUILD_DIR]   (default $LUM_BUILD_DIR, else ./build)

The viewer is driven through the Python module, so its figures include the call through
IDispatch (a few microseconds). It scales only what is visible: at fit the whole page shrinks
to 763 x 1080, at 0.37 a 1920 x 1080 window shows about 5190 x 2919 page pixels, which is
more than the page, so the page is drawn whole; at 3.0 only 640 x 360 page pixels are read.
Times are medians in milliseconds.
"""
import os
import statistics
import sys
import tempfile
import time

import numpy as np
from PIL import Image

W, H = 2480, 3508
RUNS = 9


def median_ms(fn, runs=RUNS):
    times = []
    for _ in range(runs):
        t = time.perf_counter()
        fn()
        times.append((time.perf_counter() - t) * 1000)
    return statistics.median(times)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("LUM_BUILD_DIR", "build")
    sys.path.insert(0, os.path.join(build, "python"))
    import lumtwainpro as L

    L.set_message_box_echo(False)
    y, x = np.mgrid[0:H, 0:W]
    page = Image.fromarray(np.stack([x % 256, y % 256, (x ^ y) % 256], -1).astype(np.uint8))
    anchor = median_ms(lambda: page.resize((W // 2, H // 2), Image.BILINEAR))
    print("Pillow, whole page to a quarter (bilinear): %.1f ms" % anchor)
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "page.png")
        page.save(path, compress_level=1)
        for label, zoom, quality in (("zoom 1", 1.0, 0), ("fit", None, 0), ("fit", None, 4),
                                     ("0.37", 0.37, 0), ("0.37", 0.37, 4), ("3.0", 3.0, 0),
                                     ("3.0", 3.0, 4)):
            v = L.LumViewer(1920, 1080)
            v.SilentMode = True
            v.ViewerQuality = quality
            v.DisplayFromFile(path)
            if zoom is None:
                v.ZoomMode = 2
            else:
                v.Zoom = zoom
            h, vv = v.GetHScrollBarMaxPosition() // 2, v.GetVScrollBarMaxPosition() // 2
            ms = median_ms(lambda: v.SetHVScrollBarPosition(h, vv))
            name = "nearest" if quality == 0 else "bicubic HQ"
            print("viewer repaint %-6s %-10s %6.1f ms  (%.2f x the anchor)" %
                  (label, name, ms, anchor / ms if ms else 0))
            v.CloseImage()


if __name__ == "__main__":
    main()
