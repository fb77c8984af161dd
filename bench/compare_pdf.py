"""SaveAsPdf beside img2pdf, tiff2pdf and ImageMagick, on the pages bench_pdf.cpp makes: an A4
colour page at 300 dpi (JPEG quality 90) and the same page size in black and white (1 bit).

Each tool is timed as it is used: SaveAsPdf and Pillow's JPEG encoding in this process (best
of several runs), img2pdf, tiff2pdf and ImageMagick as whole processes. Prints time, file size
and the ratio to SaveAsPdf.
"""
import io
import os
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np
from PIL import Image

BUILD = os.environ.get("LUM_BUILD_DIR", "build")
sys.path.insert(0, os.path.join(BUILD, "python"))
os.environ.setdefault("LUMTWAIN_SANE", "0")
import lumtwainpro as lt  # noqa: E402

W, H = 2480, 3508
CONVERT = "/usr/bin/convert-im6.q16"  # ImageMagick itself, whatever else is on PATH


def colour_page():
    y, x = np.mgrid[0:H, 0:W].astype(np.int64)
    n = ((x * 7919 + y * 104729) % 13 - 6).astype(np.float64)
    r = np.clip(128 + 100 * np.sin(x / 23.0) * np.cos(y / 31.0) + n, 0, 255)
    g = np.clip(128 + 90 * np.sin((x + y) / 41.0) + n, 0, 255)
    b = np.clip(255.0 * x / (W - 1) + n, 0, 255)
    return Image.fromarray(np.dstack([r, g, b]).astype(np.uint8), "RGB")


def bw_page():
    y, x = np.mgrid[0:H, 0:W].astype(np.int64)
    black = ((x >= 200) & (x < 2280) & (y >= 200) & (y < 3300) & (y % 48 < 16) &
             ((x * 31 + (y // 48) * 17) % 97 > 40) & (x % 11 < 7))
    return Image.fromarray(np.where(black, 0, 255).astype(np.uint8), "L").convert("1")


def best(fn, runs=5):
    times = []
    for _ in range(runs):
        t0 = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t0)
    return min(times) * 1000


def process(args, runs=3):
    return best(lambda: subprocess.run(args, check=True, capture_output=True), runs)


def save_as_pdf_ms(image_file, out, folder, pixel_type):
    conf = os.path.join(folder, "v.conf")
    with open(conf, "w") as f:
        f.write("files = %s\n" % image_file)
    os.environ["LUMTWAIN_VIRTUAL"] = conf
    t = lt.twain()
    t.TwainSetHideUI(True)
    t.TwainOpenSource("Virtual Scanner")
    t.TwainSetCurrentPixelType(pixel_type)
    page = t.TwainAcquireToImageID()
    assert page and (t.GetWidth(), t.GetHeight()) == (W, H), "the virtual scanner did not feed the page"
    print("  (SaveAsPdf input: %s)" % t.GetPixelFormat())
    ms = best(lambda: t.SaveAsPdf(out))
    t.CloseImage(page)
    t.TwainCloseSource()
    t.TwainCloseSourceManager()  # the next page comes from a fresh configuration
    t.TwainUnloadSourceManager()
    return ms


def magick(rows, label, args, out, runs):
    """ImageMagick's PDF writer, when Debian's security policy lets it write PDF; otherwise the
    same page to the same encoding outside a PDF, marked as such."""
    probe = subprocess.run([CONVERT, "xc:white", out], capture_output=True, text=True)
    if probe.returncode == 0:
        rows.append((label, process([CONVERT, *args, out], runs), os.path.getsize(out)))
        return
    alt = os.path.splitext(out)[0] + (".jpg" if "-quality" in args else ".tif")
    extra = [] if alt.endswith(".jpg") else ["-compress", "Group4"]
    rows.append((label.replace("PDF", alt[-3:].upper()) + " *",
                 process([CONVERT, *args, *extra, alt], runs), os.path.getsize(alt)))
    print("* ImageMagick may not write PDF here (policy.xml); timed writing %s instead" % alt[-3:])


def report(title, rows):
    ours = rows[0][1]
    print("\n" + title)
    print("  %-34s %10s %12s %8s" % ("tool", "ms", "bytes", "x ours"))
    for name, ms, size in rows:
        print("  %-34s %10.1f %12s %8.2f" % (name, ms, size if size else "-", ms / ours))


def main():
    with tempfile.TemporaryDirectory() as d:
        p = lambda n: os.path.join(d, n)  # noqa: E731
        colour, bw = colour_page(), bw_page()
        colour.save(p("colour.png"), dpi=(300, 300))
        bw.save(p("bw.png"), dpi=(300, 300))
        bw.save(p("bw_g4.tif"), compression="group4", dpi=(300, 300))
        colour.save(p("colour.jpg"), quality=90, dpi=(300, 300))

        rows = [("SaveAsPdf (JPEG q90)", save_as_pdf_ms(p("colour.png"), p("ours.pdf"), d, lt.TwainPixelType.TWPT_RGB),
                 os.path.getsize(p("ours.pdf")))]
        rows.append(("Pillow JPEG q90 encode only",
                     best(lambda: colour.save(io.BytesIO(), "JPEG", quality=90)), None))
        if shutil.which("img2pdf"):
            rows.append(("img2pdf process (given the JPEG)",
                         process(["img2pdf", p("colour.jpg"), "-o", p("img2pdf.pdf")]),
                         os.path.getsize(p("img2pdf.pdf"))))
        if os.path.exists(CONVERT):
            magick(rows, "ImageMagick PNG -> PDF q90", [p("colour.png"), "-quality", "90"],
                   p("im.pdf"), 2)
        report("A4 colour page, 300 dpi", rows)

        rows = [("SaveAsPdf (1 bit, Flate)", save_as_pdf_ms(p("bw.png"), p("ours_bw.pdf"), d, lt.TwainPixelType.TWPT_BW),
                 os.path.getsize(p("ours_bw.pdf")))]
        if shutil.which("tiff2pdf"):
            rows.append(("tiff2pdf process (G4 TIFF)",
                         process(["tiff2pdf", "-o", p("t2p.pdf"), p("bw_g4.tif")]),
                         os.path.getsize(p("t2p.pdf"))))
        if shutil.which("img2pdf"):
            rows.append(("img2pdf process (G4 TIFF)",
                         process(["img2pdf", p("bw_g4.tif"), "-o", p("img2pdf_bw.pdf")]),
                         os.path.getsize(p("img2pdf_bw.pdf"))))
        if os.path.exists(CONVERT):
            magick(rows, "ImageMagick PNG -> PDF (1 bit)", [p("bw.png"), "-monochrome"],
                   p("im_bw.pdf"), 1)
        report("A4 black-and-white page, 300 dpi", rows)


if __name__ == "__main__":
    main()
