"""Editing members through the Python module, against oracles computed here: the kernels
worked out in plain Python, Pillow for geometry, and cairo directly for drawing."""
import io
import math
import os
import random
import tempfile
import unittest

import unittest_runner

os.environ["LUMTWAIN_SANE"] = "0"
import lumtwainpro as lt  # noqa: E402
from PIL import Image, ImageChops  # noqa: E402

lt.set_message_box_echo(False)


def rne(x):
    """Round half to even, as the filters round."""
    return int(round(x))


def clamp(v):
    return max(0, min(255, v))


class Editing(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.t = None

    def tearDown(self):
        if self.t is not None:
            self.t.TwainCloseSource()
            self.t.TwainCloseSourceManager()
            self.t.TwainUnloadSourceManager()
            del self.t
        self.dir.cleanup()
        lt.message_boxes()

    def scan(self, image, extra=""):
        """Makes `image` the native image: the virtual scanner hands over the file's pixels."""
        conf = os.path.join(self.dir.name, "v.conf")
        with open(conf, "w") as f:
            if image is not None:  # else the scanner's own page
                path = os.path.join(self.dir.name, "page%d.png" % random.randrange(1 << 30))
                image.save(path)
                f.write("files = %s\n" % path)
            f.write(extra)
        os.environ["LUMTWAIN_VIRTUAL"] = conf
        if self.t is not None:
            self.t.TwainCloseSource()
            self.t.TwainCloseSourceManager()
            self.t.TwainUnloadSourceManager()
        self.t = lt.twain()
        self.t.TwainSetHideUI(True)
        page = self.t.TwainAcquireToImageID()
        self.assertNotEqual(page, 0, self.t.GetStat())
        return self.t

    def pixels(self):
        status, data, count = self.t.SaveAsByteArray(sImageFormat="png")
        self.assertEqual(status, 0)
        return Image.open(io.BytesIO(data)).convert("RGB")

    def random_image(self, w, h, seed):
        rng = random.Random(seed)
        img = Image.new("RGB", (w, h))
        img.putdata([(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(w * h)])
        return img

    # ---- kernels ------------------------------------------------------------------------------

    def test_tone_tables_round_half_to_even(self):
        src = self.random_image(37, 23, 1)
        for pct in (50, -30, 37, 250):
            t = self.scan(src)
            self.assertEqual(t.SetBrightnessEffect(pct), 0)
            import struct
            b = struct.unpack("f", struct.pack("f", (pct + 100) / 100))[0]  # held in single
            table = [clamp(rne(b * i)) for i in range(256)]
            want = src.point(table * 3)
            self.assertEqual(self.pixels().tobytes(), want.tobytes(), pct)

    def test_contrast_spreads_the_overflow(self):
        import struct
        src = self.random_image(19, 11, 2)
        pct = 80
        t = self.scan(src)
        self.assertEqual(t.SetContrastEffect(pct), 0)
        px = list(src.getdata())
        e = sum((r + g + b) // 3 for r, g, b in px) // len(px)
        g = struct.unpack("f", struct.pack("f", (pct + 100) / 100))[0]
        T = [rne(g * (m - e) + e) for m in range(256)]

        def half(v):
            return int(v / 2)  # truncated toward zero

        def spread(c):
            c = list(c)
            while not all(0 <= v <= 255 for v in c):
                if all(v <= 0 for v in c):
                    return [0, 0, 0]
                if all(v >= 255 for v in c):
                    return [255, 255, 255]
                for i in range(3):
                    o = [j for j in range(3) if j != i]
                    if c[i] < 0:
                        h = half(c[i])
                        c[o[0]] += h
                        c[o[1]] += h
                        c[i] = 0
                    elif c[i] > 255:
                        h = half(c[i] - 255)
                        c[o[0]] += h
                        c[o[1]] += h
                        c[i] = 255
            return c

        want = [tuple(spread([T[r], T[gg], T[b]])) for r, gg, b in px]
        self.assertEqual(list(self.pixels().getdata()), want)

    def test_smooth_and_soften_in_place_leave_the_border(self):
        src = self.random_image(21, 17, 3)
        for value in (None, 50, 100, 101, -151, -152):  # weights 1, 51, 1, 0 and 252, 253
            t = self.scan(src)
            self.assertEqual(t.SetSmoothEffect() if value is None else t.SetSoftenEffect(value), 0)
            w = 1 if value is None else 101 - value
            d = w + 4
            W, H = src.size
            p = [list(c) for c in src.getdata()]
            for y in range(1, H - 1):
                for x in range(1, W - 1):
                    k = y * W + x
                    p[k] = [(w * p[k][c] + p[k + 1][c] + p[k - 1][c] + p[k + W][c] + p[k - W][c]) // d
                            for c in range(3)]
            self.assertEqual(list(self.pixels().getdata()), [tuple(c) for c in p], value)

    def test_sepia_and_stretch(self):
        t = self.scan(Image.new("RGB", (3, 3), (128, 128, 128)))
        self.assertEqual(t.SetSepiaEffect(), 0)
        self.assertEqual(self.pixels().getpixel((1, 1)), (160, 128, 96))
        img = Image.new("RGB", (4, 1))
        img.putdata([(90, 10, 0), (90, 20, 100), (90, 30, 200), (90, 40, 50)])
        t = self.scan(img)
        self.assertEqual(t.SetStretchContrastEffect(), 0)
        got = list(self.pixels().getdata())
        self.assertEqual([c[0] for c in got], [90] * 4, "a constant channel stays")
        self.assertEqual([c[1] for c in got], [rne((v - 10) * 255 / 30) for v in (10, 20, 30, 40)])

    def test_blank_test_and_zone(self):
        img = Image.new("RGB", (100, 100), (255, 255, 255))
        for i in range(150):
            img.putpixel((i % 100, i // 100), (240, 250, 250))
        t = self.scan(img)
        self.assertTrue(t.IsBlank())
        for i in range(150, 250):
            img.putpixel((i % 100, i // 100), (240, 250, 250))
        t = self.scan(img)
        self.assertFalse(t.IsBlank(98))
        t.FiltersToZone(11, 21, 50, 30)
        self.assertEqual(t.SetNegativeEffect(), 0)
        diff = ImageChops.difference(self.pixels(), img).getbbox()
        self.assertEqual(diff, (20, 10, 70, 40))

    # ---- geometry -----------------------------------------------------------------------------

    def test_rotation_matches_pillow(self):
        src = self.random_image(31, 18, 4)
        ops = {1: Image.Transpose.ROTATE_270, 2: Image.Transpose.ROTATE_180, 3: Image.Transpose.ROTATE_90,
               4: Image.Transpose.FLIP_LEFT_RIGHT, 6: Image.Transpose.FLIP_TOP_BOTTOM,
               5: Image.Transpose.TRANSPOSE, 7: Image.Transpose.TRANSVERSE}
        for kind, op in ops.items():
            t = self.scan(src)
            self.assertEqual(t.Rotate(kind), 0)
            self.assertEqual(self.pixels().tobytes(), src.transpose(op).tobytes(), kind)

    def test_resize_to_half_matches_pillow(self):
        src = self.random_image(64, 48, 5).resize((64, 48))
        # A smooth picture, so that the filters' small differences stay small.
        src = src.resize((8, 6), Image.Resampling.BOX).resize((64, 48), Image.Resampling.BICUBIC)
        cases = [(5, Image.Resampling.NEAREST, 0), (6, Image.Resampling.BILINEAR, 2),
                 (7, Image.Resampling.BICUBIC, 2)]
        for mode, resample, tolerance in cases:
            t = self.scan(src)
            self.assertEqual(t.Resize(32, 24, mode), 0)
            want = src.resize((32, 24), resample)
            worst = max(max(abs(a - b) for a, b in zip(p, q))
                        for p, q in zip(self.pixels().getdata(), want.getdata()))
            self.assertLessEqual(worst, tolerance, mode)

    def test_conversions_and_bands_on_a_scanned_page(self):
        t = self.scan(None, "dark_border_mm = 3\n")
        w, h = t.GetWidth(), t.GetHeight()
        dpi = t.GetHorizontalResolution()
        self.assertEqual(t.CropBorders2(90, 1), 0)
        self.assertLess(t.GetWidth(), w)
        self.assertEqual(t.GetHorizontalResolution(), dpi)
        self.assertEqual(t.ConvertTo1Bpp(), 0)
        self.assertEqual(t.GetPixelFormat(), "1bppIndexed")
        self.assertEqual(t.ConvertTo4Bpp(), 0)
        self.assertEqual(t.GetPixelFormat(), "4bppIndexed")
        status, colours, n = t.ColorPaletteGet()
        self.assertEqual((status, n), (0, 16))
        self.assertEqual(colours[8] & 0xFFFFFF, 0xC0C0C0)

    # ---- colours, fonts, text -----------------------------------------------------------------

    def test_colour_values(self):
        t = lt.twain()
        self.assertEqual(t.ARGB(255, 1, 2, 3), -16711165)
        self.assertEqual(t.GetRGB(1, 2, 3), 3 * 65536 + 2 * 256 + 1)
        self.assertEqual(t.GetRGB(300, 0, 0), 255)
        with self.assertRaises(lt.ComError) as e:
            t.ARGB(256, 0, 0, 0)
        self.assertEqual(e.exception.number, 6)
        with self.assertRaises(lt.ComError) as e:
            t.GetRGB(-1, 0, 0)
        self.assertEqual(e.exception.number, 5)
        r, g, b = tuple(t.ColorGetRGBFromRGBValue(0x112233))[-3:]
        self.assertEqual((r, g, b), (51, 34, 17))
        a, r, g, b = tuple(t.ColorGetARGBFromARGBValuel(-16711165))[-4:]
        self.assertEqual((a, r, g, b), (255, 1, 2, 3))
        self.assertEqual(lt.Colors.Black, -16777216)

    def test_fonts(self):
        t = lt.twain()
        n = t.FontGetCount()
        self.assertGreater(n, 2)
        names = [t.FontGetName(i) for i in range(1, n + 1)]
        self.assertIn("Liberation Sans", names)
        self.assertEqual(t.FontGetName(n + 5), "")
        self.assertTrue(t.FontIsStyleAvailable("Arial", lt.FontStyle.FontStyleBold))
        self.assertFalse(t.FontIsStyleAvailable("NoSuchFontAnywhere", 0))
        self.assertEqual(t.GetStat(), 14)

    def test_text_lands_where_stated(self):
        t = self.scan(Image.new("RGB", (200, 100), (255, 255, 255)))
        t.FontSetUnit(lt.UnitMode.UnitPixel)
        self.assertEqual(t.DrawText("Hi", 1, 1, 40), 0)
        first = self.pixels()
        box = ImageChops.invert(first).getbbox()
        self.assertIsNotNone(box)
        t = self.scan(Image.new("RGB", (200, 100), (255, 255, 255)))
        t.FontSetUnit(lt.UnitMode.UnitPixel)
        self.assertEqual(t.DrawTextBox("Hi", 1, 1, 150, 60, 40, 0), 0)
        box2 = ImageChops.invert(self.pixels()).getbbox()
        self.assertEqual((box2[0] - box[0], box2[1] - box[1]), (1, 1), "the box starts one pixel further")
        self.assertEqual(t.DrawText("x", 1, 1, 20, sFontName="NoSuchFontAnywhere"), 14)

    # ---- every member, through the module -----------------------------------------------------

    def test_every_member_without_an_image(self):
        t = lt.twain()
        unchanged = [("SetNegativeEffect",), ("SetBrightnessEffect", 10), ("SetContrastEffect", 10),
                     ("SetGammaCorrectionEffect", 120), ("SetSaturationEffect", 10), ("SetSepiaEffect",),
                     ("SetStretchContrastEffect",), ("SetSoftenEffect", 50), ("SetSmoothEffect",),
                     ("Crop", 1, 1, 2, 2), ("CropTop", 1), ("CropBottom", 1), ("CropLeft", 1), ("CropRight", 1),
                     ("CropWhiteBands",), ("CropBlackBands",), ("Resize", 10, 10),
                     ("ConvertTo1Bpp",), ("ConvertTo4Bpp",), ("ConvertTo4BppPal", [-1, -16777216]),
                     ("ConvertTo8Bpp",), ("DrawText", "x", 1, 1, 10), ("DrawTextBackColor", "x", 1, 1, 10),
                     ("DrawRotatedText", 30, "x", 1, 1, 10), ("DrawRotatedTextBackColor", 30, "x", 1, 1, 10),
                     ("DrawTextBox", "x", 1, 1, 20, 20, 10), ("DrawTextGradient", "x", 1, 1, -1, -16777216, 10),
                     ("DrawTextTexture", "x", 1, 1, "/nonexistent.png", 10), ("CopyRegionToClipboard", 1, 1, 2, 2)]
        engine_on_zero = [("Rotate", 1), ("CopyToClipboard",), ("DisplayImageOnHDC", 1, 1, 1, 10, 10),
                          ("DisplayImageOnHwnd", 1, 1, 1, 10, 10),
                          ("DisplayImageRectOnHDC", 1, 1, 1, 10, 10, 1, 1, 5, 5),
                          ("DisplayImageRectOnHwnd", 1, 1, 1, 10, 10, 1, 1, 5, 5), ("ConvertTo16Bpp",),
                          ("ConvertTo24Bpp",), ("ConvertTo32Bpp",), ("ConvertTo48Bpp",), ("ConvertTo64Bpp",),
                          ("CropBorders2", 90, 1), ("CropBorders",), ("ColorPaletteSet", [-1]), ("ColorPaletteConvertToHalftone",)]
        for call in unchanged:
            self.assertEqual(getattr(t, call[0])(*call[1:]), 0, call[0])
        self.assertFalse(t.IsBlank())
        for call in engine_on_zero:
            self.assertEqual(getattr(t, call[0])(*call[1:]), 2, call[0])
            t.GetRGB(0, 0, 0)  # no status of its own
            self.assertEqual(t.GetStat(), 2, call[0])
        self.assertEqual(t.ColorPaletteGetColorsCount(), 0)
        self.assertEqual(tuple(t.ColorPaletteGet())[0], 2)
        for call in unchanged:
            self.assertEqual(getattr(t, call[0])(*call[1:]), 2, call[0] + " keeps the last status")
        t.FiltersToZone(1, 1, 5, 5)
        t.FiltersToPicture()
        t.DeleteClipboardData()
        t.FontSetUnit(lt.UnitMode.UnitPixel)
        self.assertEqual(t.FontGetUnit(), lt.UnitMode.UnitPixel)

    def test_every_member_on_an_image(self):
        texture = os.path.join(self.dir.name, "texture.png")
        Image.new("RGB", (4, 4), (200, 0, 0)).save(texture)
        t = self.scan(self.random_image(40, 30, 7))
        t.FontSetUnit(lt.UnitMode.UnitPixel)
        calls = [("FiltersToZone", 2, 2, 10, 10), ("SetBrightnessEffect", 10), ("SetContrastEffect", 10),
                 ("SetGammaCorrectionEffect", 120), ("SetSaturationEffect", 20), ("SetSepiaEffect",),
                 ("SetStretchContrastEffect",), ("SetNegativeEffect",), ("SetSoftenEffect", 50),
                 ("SetSmoothEffect",), ("FiltersToPicture",), ("CropTop", 1), ("CropBottom", 1), ("CropLeft", 1),
                 ("CropRight", 1), ("Crop", 2, 2, 30, 20), ("CropWhiteBands",), ("CropBlackBands",),
                 ("CropBorders",), ("CropBorders2", 90, 3), ("Rotate", 1), ("Resize", 40, 60, 7),
                 ("DrawText", "x", 1, 1, 10), ("DrawTextBackColor", "x", 5, 5, 10),
                 ("DrawRotatedText", 30, "x", 10, 10, 10), ("DrawRotatedTextBackColor", 60, "x", 20, 20, 10),
                 ("DrawTextBox", "xy", 1, 30, 30, 20, 10), ("DrawTextGradient", "x", 1, 40, -1, -16777216, 12),
                 ("DrawTextTexture", "x", 20, 40, texture, 12), ("CopyToClipboard",),
                 ("CopyRegionToClipboard", 1, 1, 5, 5), ("ConvertTo16Bpp",), ("ConvertTo32Bpp",),
                 ("ConvertTo48Bpp",), ("ConvertTo64Bpp",), ("ConvertTo24Bpp",), ("ConvertTo1Bpp",),
                 ("ConvertTo24Bpp",), ("ConvertTo4Bpp",), ("ColorPaletteConvertToHalftone",),
                 ("ColorPaletteSet", [-1] * 8 + [-16777216] * 8), ("ConvertTo24Bpp",),
                 ("ConvertTo4BppPal", [-1, -16777216, -65536]), ("ConvertTo24Bpp",), ("ConvertTo8Bpp",)]
        for call in calls:
            result = getattr(t, call[0])(*call[1:])
            self.assertIn(result, (0, None), call[0])
            self.assertEqual(t.GetStat(), 0, call[0])
        self.assertEqual((t.GetWidth(), t.GetHeight()), (40, 60))
        self.assertEqual(t.GetPixelFormat(), "8bppIndexed")
        self.assertGreater(t.ColorPaletteGetColorsCount(), 1)
        t.DeleteClipboardData()


class LumscanEditing(unittest.TestCase):
    def test_options_apply_per_page_in_order(self):
        import subprocess
        build = os.environ.get("LUM_BUILD_DIR", "build")
        with tempfile.TemporaryDirectory() as d:
            conf = os.path.join(d, "v.conf")
            with open(conf, "w") as f:
                f.write("pages = 3\nblank_pages = 2\ndark_border_mm = 4\n")
            env = dict(os.environ, LUMTWAIN_VIRTUAL=conf, LUMTWAIN_SANE="0")
            out = os.path.join(d, "p-%d.png")
            r = subprocess.run([os.path.join(build, "bin", "lumscan"), "scan", "--feeder", "--resolution", "100",
                                "--crop-borders=95", "--rotate", "90", "--bw", "--skip-blank", out],
                               capture_output=True, text=True, env=env, timeout=120)
            self.assertEqual(r.returncode, 0, r.stderr)
            lines = [l for l in r.stderr.splitlines() if l.startswith("scanning page")]
            self.assertEqual(len(lines), 3, r.stderr)
            self.assertIn("crop-borders, rotate, bw -> ", lines[0])
            self.assertIn("blank: skipped", lines[1])
            saved = sorted(os.listdir(d))
            self.assertEqual([n for n in saved if n.endswith(".png")], ["p-1.png", "p-2.png"])
            page = Image.open(os.path.join(d, "p-1.png"))
            self.assertIn(page.mode, ("1", "P"))
            self.assertEqual(len(set(page.convert("L").getdata())), 2, "black and white only")
            w, h = page.size
            self.assertGreater(w, h, "the portrait page turned a quarter")
            self.assertLess(w, 1169 - 2 * 15, "the dark border went")
            r = subprocess.run([os.path.join(build, "bin", "lumscan"), "scan", "--rotate", "45", out],
                               capture_output=True, text=True, env=env, timeout=60)
            self.assertEqual(r.returncode, 2)


if __name__ == "__main__":
    unittest_runner.main(__name__)
