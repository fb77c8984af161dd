"""SaveToFTP and SetFtpPassiveMode through the Python module, against a pyftpdlib server of
the test's own, with Pillow and qpdf reading back what arrived."""
import io
import os
import subprocess
import tempfile
import unittest

import unittest_runner
from net_helpers import start_server, stop_server

from PIL import Image

os.environ["LUMTWAIN_SANE"] = "0"
import lumtwainpro as lt  # noqa: E402

lt.set_message_box_echo(False)
class SaveToFtp(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.root = os.path.join(cls.dir.name, "root")
        os.makedirs(os.path.join(cls.root, "sub", "dir"))
        cls.log = os.path.join(cls.dir.name, "ftp.log")
        cls.server, cls.port = start_server("ftp", cls.root, "--log", cls.log)

    @classmethod
    def tearDownClass(cls):
        stop_server(cls.server)
        cls.dir.cleanup()

    def setUp(self):
        # A private temporary folder shows every file an upload leaves behind.
        self.tmp = tempfile.mkdtemp(dir=self.dir.name)
        self.old_tmp = os.environ.get("tmp")
        os.environ["tmp"] = self.tmp
        self.t = lt.twain()
        self.t.TwainSetHideUI(True)
        self.page = self.t.TwainAcquireToImageID()
        self.assertNotEqual(self.page, 0)

    def tearDown(self):
        self.t.CloseImage(self.page)
        self.t.TwainCloseSource()
        del self.t
        if self.old_tmp is None:
            del os.environ["tmp"]
        else:
            os.environ["tmp"] = self.old_tmp
        lt.message_boxes()

    def upload(self, fmt, param, path, login="user", password="secret", **kw):
        status = self.t.SaveToFTP(fmt, param, "127.0.0.1", path, login, password, self.port, **kw)
        self.assertEqual(os.listdir(self.tmp), [], "a temporary file was left behind")
        return status

    def arrived(self, path):
        with open(os.path.join(self.root, path), "rb") as f:
            return f.read()

    def test_each_format_arrives_readable(self):
        for fmt, param, name, pillow in (("BMP", 0, "a.bmp", "BMP"), (" jpg ", 90, "a.jpg", "JPEG"),
                                         ("tif", 6, "a.tif", "TIFF"), ("PNG", 0, "a.png", "PNG"),
                                         ("GIF", 0, "a.gif", "GIF"), ("webp", 0, "a.x", "JPEG")):
            with self.subTest(fmt=fmt):
                self.assertEqual(self.upload(fmt, param, name), 0)
                self.assertEqual(self.t.GetStat(), 0)
                with Image.open(io.BytesIO(self.arrived(name))) as im:
                    self.assertEqual(im.format, pillow)
                    self.assertEqual(im.size, (self.t.GetWidth(), self.t.GetHeight()))

    def test_pdf_arrives_as_a_pdf(self):
        status = self.upload("PDF", 0, "a.pdf")
        if status == 1 and not hasattr(self.t, "SaveAsPdf"):
            self.skipTest("this build has no PDF writer yet")
        self.assertEqual(status, 0)
        path = os.path.join(self.root, "a.pdf")
        r = subprocess.run(["qpdf", "--check", path], capture_output=True, text=True, timeout=60)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

    def quantization(self, data):
        with Image.open(io.BytesIO(data)) as im:
            return im.quantization

    def local_jpeg(self, quality):
        path = os.path.join(self.dir.name, "local%d.jpg" % quality)
        self.assertEqual(self.t.SaveAsJpeg(path, quality), 0)
        with open(path, "rb") as f:
            return f.read()

    def test_jpg_takes_the_quality_and_jpeg_the_default(self):
        self.assertEqual(self.upload("jpg", 30, "q30.jpg"), 0)
        self.assertEqual(self.upload("JPEG", 30, "q75.jpg"), 0)
        self.assertEqual(self.quantization(self.arrived("q30.jpg")),
                         self.quantization(self.local_jpeg(30)))
        self.assertEqual(self.quantization(self.arrived("q75.jpg")),
                         self.quantization(self.local_jpeg(75)))
        self.assertNotEqual(self.quantization(self.arrived("q30.jpg")),
                            self.quantization(self.arrived("q75.jpg")))

    def test_backslashed_paths_arrive_under_forward_slashes(self):
        self.assertEqual(self.upload("PNG", 0, "\\sub\\dir\\b.png"), 0)
        self.assertTrue(self.arrived("sub/dir/b.png").startswith(b"\x89PNG"))
        self.assertEqual(self.upload("PNG", 0, "  //sub/c.png  "), 0)
        self.assertTrue(self.arrived("sub/c.png").startswith(b"\x89PNG"))

    def test_refusals_give_their_statuses(self):
        self.assertEqual(self.upload("PNG", 0, "w.png", password="wrong"), 101)
        self.assertEqual(self.t.GetStat(), 101)
        self.assertEqual(self.upload("PNG", 0, "readonly/r.png"), 108)
        self.assertEqual(self.upload("PNG", 0, "nosuchdir/r.png"), 108)
        self.assertEqual(self.upload("PNG", 0, "anon.png", login="", password=""), 108)
        self.assertFalse(os.path.exists(os.path.join(self.root, "readonly", "r.png")))
        self.assertFalse(os.path.exists(os.path.join(self.root, "anon.png")))
        closed = start_server("silent")
        stop_server(closed[0])
        status = self.t.SaveToFTP("PNG", 0, "127.0.0.1", "x.png", "user", "secret", closed[1])
        self.assertEqual(status, 101)

    def test_a_failed_save_uploads_nothing_and_leaves_no_file(self):
        os.environ["tmp"] = os.path.join(self.tmp, "missing")
        status = self.t.SaveToFTP("PNG", 0, "127.0.0.1", "never.png", "user", "secret", self.port)
        self.assertNotEqual(status, 0)
        self.assertFalse(os.path.exists(os.path.join(self.root, "never.png")))
        os.environ["tmp"] = self.tmp
        self.assertEqual(self.upload("TIF", 99, "badcompression.tif"), 2)
        self.assertFalse(os.path.exists(os.path.join(self.root, "badcompression.tif")))

    def test_without_an_image_nothing_is_sent_and_zero_is_never_returned(self):
        self.assertEqual(self.t.CloseImage(self.page), 0)
        self.assertEqual(self.t.GetStat(), 0)
        self.assertEqual(self.upload("PNG", 0, "none.png"), 2)
        self.assertEqual(self.t.GetStat(), 2)
        self.t.SaveToFTP("PNG", 0, "127.0.0.1", "none.png", "user", "wrong", self.port)
        self.assertEqual(self.upload("PNG", 0, "none.png"), 2)
        self.assertFalse(os.path.exists(os.path.join(self.root, "none.png")))

    def test_passive_mode_is_the_default_and_active_can_be_chosen(self):
        with open(self.log, "w"):
            pass
        self.assertEqual(self.upload("BMP", 0, "p.bmp"), 0)
        with open(self.log) as f:
            self.assertIn("EPSV", f.read().split())
        self.t.SetFtpPassiveMode(False)
        with open(self.log, "w"):
            pass
        self.assertEqual(self.upload("BMP", 0, "a.bmp"), 0)
        with open(self.log) as f:
            commands = f.read().split()
        self.assertIn("EPRT", commands)
        self.assertNotIn("EPSV", commands)
        self.assertEqual(self.arrived("p.bmp"), self.arrived("a.bmp"))

    def test_ports_outside_1_to_65535_are_an_overflow(self):
        for port in (0, 65536, -21):
            with self.assertRaises(lt.ComError) as e:
                self.t.SaveToFTP("PNG", 0, "127.0.0.1", "x.png", "user", "secret", port)
            self.assertEqual(e.exception.number, 6)
        self.assertEqual(os.listdir(self.tmp), [])


if __name__ == "__main__":
    unittest_runner.main(__name__)
