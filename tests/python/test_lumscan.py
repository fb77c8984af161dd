"""lumscan and the demo, checked with independent readers (Pillow, libtiff's tiffinfo)."""
import os
import subprocess
import sys
import tempfile
import unittest

import unittest_runner

from PIL import Image

BUILD = os.environ.get("LUM_BUILD_DIR", "build")
LUMSCAN = os.path.join(BUILD, "bin", "lumscan")


def run(*args, env=None):
    e = dict(os.environ, LUMTWAIN_SANE="0")
    e.update(env or {})
    return subprocess.run([LUMSCAN, *args], capture_output=True, text=True, env=e, timeout=120)


class Demo(unittest.TestCase):
    def test_demo_writes_a_three_page_tiff_and_jpegs(self):
        with tempfile.TemporaryDirectory() as d:
            r = run("demo", d)
            self.assertEqual(r.returncode, 0, r.stderr)
            tif = os.path.join(d, "scan.tif")
            with Image.open(tif) as im:
                self.assertEqual(im.n_frames, 3)
                self.assertEqual(im.size, (1240, 1754))  # A4 at 150 dpi
            info = subprocess.run(["tiffinfo", tif], capture_output=True, text=True).stdout
            self.assertEqual(info.count("Compression Scheme: LZW"), 3)
            for k in (1, 2, 3):
                with Image.open(os.path.join(d, f"page-{k}.jpg")) as im:
                    self.assertEqual(im.format, "JPEG")
                    self.assertEqual(im.info.get("dpi"), (150, 150))
            self.assertIn("scan.tif", r.stdout)


class Scan(unittest.TestCase):
    def test_one_flatbed_page_in_each_format(self):
        with tempfile.TemporaryDirectory() as d:
            for ext, fmt in (("bmp", "BMP"), ("png", "PNG"), ("gif", "GIF"), ("tif", "TIFF")):
                out = os.path.join(d, "page." + ext)
                r = run("scan", "--resolution", "75", "--pixel-type", "gray", out)
                self.assertEqual(r.returncode, 0, r.stderr)
                with Image.open(out) as im:
                    self.assertEqual(im.format, fmt)
                    self.assertEqual(im.size, (620, 877))
            self.assertIn("scanning page 1", r.stderr)

    def test_failures_exit_non_zero_with_a_message(self):
        with tempfile.TemporaryDirectory() as d:
            out = os.path.join(d, "x.jpg")
            r = run("scan", out, env={"LUMTWAIN_ENGINE": "/nonexistent.so"})
            self.assertNotEqual(r.returncode, 0)
            self.assertIn("TWAIN engine", r.stderr)
            conf = os.path.join(d, "v.conf")
            with open(conf, "w") as f:
                f.write("cancel_at_page = 1\n")
            r = run("scan", out, env={"LUMTWAIN_VIRTUAL": conf})
            self.assertNotEqual(r.returncode, 0)
            self.assertIn("cancelled", r.stderr)
            self.assertFalse(os.path.exists(out))
            r = run("scan", "--multipage", os.path.join(d, "x.png"))
            self.assertEqual(r.returncode, 2)
            r = run("scan", "--source", "Nothing Here", out)
            self.assertNotEqual(r.returncode, 0)
            self.assertIn("cannot open the source", r.stderr)

    def test_a_failed_save_says_why_and_keeps_the_old_file(self):
        with tempfile.TemporaryDirectory() as d:
            r = run("scan", os.path.join(d, "missing", "x.jpg"))
            self.assertNotEqual(r.returncode, 0)
            self.assertIn("No such file or directory", r.stderr)
            out = os.path.join(d, "page.png")
            with open(out, "wb") as f:
                f.write(b"old page")
            # A file size limit stands in for a full disk; the signal it raises is ignored,
            # so writes fail with EFBIG.
            script = ("import resource, signal, os, sys; signal.signal(signal.SIGXFSZ, "
                      "signal.SIG_IGN); resource.setrlimit(resource.RLIMIT_FSIZE, (4096, "
                      "resource.RLIM_INFINITY)); os.execv(sys.argv[1], sys.argv[1:])")
            e = dict(os.environ, LUMTWAIN_SANE="0")
            r = subprocess.run([sys.executable, "-c", script, LUMSCAN, "scan", out],
                               capture_output=True, text=True, env=e, timeout=120)
            self.assertNotEqual(r.returncode, 0)
            self.assertIn("cannot save", r.stderr)
            with open(out, "rb") as f:
                self.assertEqual(f.read(), b"old page")
            self.assertEqual(os.listdir(d), ["page.png"])


if __name__ == "__main__":
    unittest_runner.main(__name__)
