"""SaveAsPdf through the Python module, checked with qpdf, poppler (pdftoppm, pdfinfo) and Pillow."""
import os
import subprocess
import tempfile
import unittest

import unittest_runner

os.environ["LUMTWAIN_SANE"] = "0"
import lumtwainpro as lt  # noqa: E402
from PIL import Image, ImageChops, ImageStat  # noqa: E402
from scanner_helpers import close_twain, open_virtual_twain  # noqa: E402

lt.set_message_box_echo(False)


def tool(*args):
    return subprocess.run(list(args), capture_output=True, text=True, timeout=120)


class SaveAsPdf(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.t = open_virtual_twain(self.dir.name)

    def tearDown(self):
        close_twain(self.t)
        del self.t
        self.dir.cleanup()
        lt.message_boxes()

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def scan(self, pixel_type, dpi):
        t = self.t
        t.TwainCloseSource()
        self.assertTrue(t.TwainOpenSource("Virtual Scanner"))
        self.assertTrue(t.TwainSetCurrentPixelType(pixel_type))
        self.assertTrue(t.TwainSetCurrentResolution(dpi))
        page = t.TwainAcquireToImageID()
        self.assertNotEqual(page, 0)
        return page

    def check(self, pdf):
        q = tool("qpdf", "--check", pdf)
        self.assertEqual(q.returncode, 0, q.stdout + q.stderr)
        self.assertNotIn("WARNING", q.stdout + q.stderr)

    def render(self, pdf, dpi):
        """The page at 4 pixels per image pixel, sampled back at the block centres."""
        base = self.path("render")
        r = tool("pdftoppm", "-aa", "no", "-aaVector", "no", "-r", str(4 * dpi), "-singlefile",
                 pdf, base)
        self.assertEqual(r.returncode, 0, r.stderr)
        with Image.open(base + ".ppm") as im:
            # Nearest sampling of each 4 x 4 block takes its centre.
            return im.convert("RGB").resize((im.size[0] // 4, im.size[1] // 4), Image.NEAREST)

    def reference(self):
        png = self.path("ref.png")
        self.assertEqual(self.t.SaveAsPng(png), 0)
        with Image.open(png) as im:
            return im.convert("RGB")

    def test_a4_at_300_dpi_is_595_by_842_points(self):
        self.scan(lt.TwainPixelType.TWPT_BW, 300)
        self.assertEqual((self.t.GetWidth(), self.t.GetHeight()), (2480, 3508))
        pdf = self.path("a4.pdf")
        self.assertIs(self.t.SaveAsPdf(pdf), True)
        self.check(pdf)
        info = tool("pdfinfo", pdf).stdout
        self.assertIn("595 x 842 pts (A4)", info)
        self.assertIn("Pages:           1", info)
        self.assertIn("Producer:        Pelorix ToolKit", info)

    def test_lossless_pages_render_pixel_exact(self):
        # 72 dpi: one image pixel per point, so the page maps back onto the pixels.
        for pixel_type in (lt.TwainPixelType.TWPT_BW, lt.TwainPixelType.TWPT_GRAY):
            with self.subTest(pixel_type=pixel_type):
                self.scan(pixel_type, 72)
                pdf = self.path("lossless.pdf")
                self.assertTrue(self.t.SaveAsPdf(pdf))
                self.check(pdf)
                rendered, ref = self.render(pdf, 72), self.reference()
                self.assertEqual(rendered.size, ref.size)
                self.assertIsNone(ImageChops.difference(rendered, ref).getbbox())
                self.t.CloseImage(self.t.GetNativeImage())

    def test_colour_pages_are_jpeg_within_tolerance(self):
        self.scan(lt.TwainPixelType.TWPT_RGB, 72)
        pdf = self.path("colour.pdf")
        self.assertTrue(self.t.SaveAsPdf(pdf))
        self.check(pdf)
        listing = tool("pdfimages", "-list", pdf).stdout
        self.assertIn("jpeg", listing)
        diff = ImageChops.difference(self.render(pdf, 72), self.reference())
        # JPEG quality 90: mean error per channel under 2 levels, no block far off.
        self.assertLess(max(ImageStat.Stat(diff).mean), 2.0)
        self.assertLess(max(ImageStat.Stat(diff).rms), 4.0)

    def test_failures_answer_false_or_raise_division_by_zero(self):
        self.assertIs(self.t.SaveAsPdf(self.path("none.pdf")), False)  # no native image
        self.scan(lt.TwainPixelType.TWPT_GRAY, 75)
        self.assertIs(self.t.SaveAsPdf(self.path("no/such/folder/x.pdf")), False)
        existing = self.path("keep.pdf")
        with open(existing, "wb") as f:
            f.write(b"keep")
        self.t.SetNativeImage(0x7654321)  # stale: its resolution reads 0
        with self.assertRaises(lt.ComError) as e:
            self.t.SaveAsPdf(existing)
        self.assertEqual(e.exception.number, 11)
        with open(existing, "rb") as f:
            self.assertEqual(f.read(), b"keep")


if __name__ == "__main__":
    unittest_runner.main(__name__)
