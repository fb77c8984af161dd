"""LumViewer through the Python module: headless windows, properties, events, persistence,
the quality pass on the virtual clock, painted pixels against Pillow's resampling of the same
source rectangle, every display source (HTTP and FTP from servers the tests start), and
lumview --render."""
import io
import os
import subprocess
import sys
import tempfile
import unittest

import unittest_runner
from net_helpers import start_server, stop_server

import numpy as np
from PIL import Image

os.environ["LUMTWAIN_SANE"] = "0"
import lumtwainpro as L  # noqa: E402

L.set_message_box_echo(False)
BUILD = os.environ.get("LUM_BUILD_DIR", os.getcwd())


def gradient(width, height):
    """A smooth RGB page: every resampler agrees on it away from the edges."""
    x = np.linspace(0, 255, width)[None, :].repeat(height, 0)
    y = np.linspace(0, 255, height)[:, None].repeat(width, 1)
    rgb = np.stack([x, y, (x + y) / 2], axis=2).astype(np.uint8)
    return Image.fromarray(rgb, "RGB")


def noise(width, height, seed=1):
    rng = np.random.default_rng(seed)
    return Image.fromarray(rng.integers(0, 256, (height, width, 3), dtype=np.uint8), "RGB")


def window_rgb(viewer):
    w, h, px = viewer.window_pixels()
    bgra = np.frombuffer(px, np.uint8).reshape(h, w, 4)
    return bgra[:, :, [2, 1, 0]].astype(int)


class Files(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def save(self, image, name, **kw):
        path = os.path.join(self.dir.name, name)
        image.save(path, **kw)
        return path

    def tearDown(self):
        L.message_boxes()


class Window(Files):
    def test_a_surface_beyond_memory_is_a_memory_error(self):
        # In a process limited to 3 GB of address space a 32767 x 32767 surface (4 GB) cannot
        # be had: the window says so and keeps the surface it has.
        script = (
            "import resource, lumtwainpro as L\n"
            "resource.setrlimit(resource.RLIMIT_AS, (3 << 30, 3 << 30))\n"
            "v = L.LumViewer(100, 80)\n"
            "try:\n"
            "    v.resize(32767, 32767)\n"
            "except MemoryError as e:\n"
            "    print('MemoryError', e)\n"
            "print(v.window_pixels()[:2])\n")
        env = dict(os.environ, PYTHONPATH=os.path.join(BUILD, "python"))
        out = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True,
                             text=True, timeout=60)
        self.assertEqual(out.returncode, 0, out.stderr)
        lines = out.stdout.splitlines()
        self.assertTrue(lines[0].startswith("MemoryError") and "32767" in lines[0], lines)
        self.assertEqual(lines[1], "(100, 80)")

    def test_headless_window_of_the_asked_size(self):
        v = L.LumViewer(321, 123)
        w, h, px = v.window_pixels()
        self.assertEqual((w, h, len(px)), (321, 123, 321 * 123 * 4))
        self.assertEqual(px[:4], b"\x00\x00\x00\xff", "an opaque black window")
        events = []
        v.on("ResizeControl", lambda: events.append("resize"))
        v.resize(200, 100)
        self.assertEqual(v.window_pixels()[:2], (200, 100))
        self.assertEqual(events, ["resize"])
        with self.assertRaises(ValueError):
            v.resize(-1, 5)
        with self.assertRaises(ValueError):
            L.LumViewer(40000, 10)

    def test_properties_read_and_write_as_attributes(self):
        v = L.LumViewer()
        self.assertEqual(v.ZoomStep, 10)
        self.assertIs(v.ZoomMode, L.ViewerZoomMode.Zoom100)
        v.ZoomStep = 25
        self.assertEqual(v.ZoomStep, 25)
        v.ZoomStep = 0
        self.assertEqual(v.ZoomStep, 25, "a step not above 0 is ignored")
        v.ImageWidth = 77
        self.assertEqual(v.ImageWidth, 0, "read-only in effect")
        with self.assertRaises(AttributeError):
            v.hwnd = 3
        with self.assertRaises(AttributeError):
            v.NoSuchThing = 1
        self.assertAlmostEqual(v.GetVersion(), 4.511)
        self.assertIn("DisplayFromURL", dir(v))

    def test_missing_file_is_status_10(self):
        v = L.LumViewer()
        self.assertEqual(v.DisplayFromFile(os.path.join(self.dir.name, "none.png")), 10)
        self.assertEqual(v.GetNativeImage(), 0)


class Events(Files):
    def test_handlers_change_by_reference_arguments(self):
        v = L.LumViewer(300, 300)
        v.SilentMode = True
        self.assertEqual(v.DisplayFromFile(self.save(gradient(600, 600), "g.png")), 0)
        seen = []
        v.on("KeyUpControl", lambda code, shift: seen.append(code) or {"KeyCode": 0})
        v.key(107)  # keypad plus
        self.assertEqual(seen, [107])
        self.assertEqual(v.Zoom, 1.0, "the handler set KeyCode to 0: no zoom")
        v.off("KeyUpControl")
        v.key(107)
        self.assertAlmostEqual(v.Zoom, 1.1)

    def test_wheel_becomes_keypad_keys_with_their_events(self):
        v = L.LumViewer(300, 300)
        self.assertEqual(v.DisplayFromFile(self.save(gradient(600, 600), "w.png")), 0)
        keys = []
        v.on("KeyDownControl", lambda code, shift: keys.append(("down", code)))
        v.on("KeyUpControl", lambda code, shift: keys.append(("up", code)))
        v.wheel(120)
        self.assertEqual(keys, [("down", 107), ("up", 107)])
        self.assertAlmostEqual(v.Zoom, 1.1)
        v.MouseWheelMode = 1
        v.SetVScrollBarPosition(20)
        v.wheel(120)
        self.assertEqual(v.GetVScrollBarPosition(), 0, "20 - 50 is below 0")
        v.wheel(-120)
        self.assertEqual(v.GetVScrollBarPosition(), 50)

    def test_an_exception_in_a_handler_is_reported_and_goes_no_further(self):
        v = L.LumViewer(100, 100)
        reported = []
        old = sys.unraisablehook
        sys.unraisablehook = lambda u: reported.append(u.exc_value)
        try:
            v.on("PageChange", lambda: 1 / 0)
            after = []
            v.on("PageChange", lambda: after.append(1))
            self.assertEqual(v.DisplayFromFile(self.save(gradient(50, 50), "e.png")), 0)
        finally:
            sys.unraisablehook = old
        self.assertTrue(reported and isinstance(reported[0], ZeroDivisionError))
        self.assertTrue(after, "the next handler still ran")
        self.assertEqual(v.GetNativeImage() != 0, True)

    def test_unknown_events_are_refused(self):
        v = L.LumViewer()
        with self.assertRaises(ValueError):
            v.on("NoSuchEvent", print)
        with self.assertRaises(TypeError):
            v.on("PageChange", 5)

    def test_property_puts_reach_property_changed_handlers(self):
        v = L.LumViewer()
        names = []
        v.on("PropertyChanged", names.append)
        v.on("PropertyChanged", lambda name: 1 / 0)  # reported, and the put still succeeds
        old_hook, sys.unraisablehook = sys.unraisablehook, lambda u: names.append("raised")
        try:
            v.ZoomStep = 25
            v.PdfDpiRendering = 0  # refused by its rule, announced all the same
            self.assertEqual(v.ZoomStep, 25)
        finally:
            sys.unraisablehook = old_hook
        self.assertEqual(names, ["ZoomStep", "raised", "PdfDpiRendering", "raised"])
        v.off("PropertyChanged")
        v.ZoomMode = 2
        self.assertEqual(len(names), 4)


class Robustness(Files):
    # The internet members are driven against the local servers of Internet below: any other
    # host would take the test off this machine.
    NETWORK = {"DisplayFromURL", "DisplayFromFTP"}

    def test_every_member_survives_bad_arguments(self):
        """No argument list may crash a member: each call returns or raises cleanly."""
        page = self.save(noise(40, 30), "robust.png")
        members = L.type_library()["interfaces"]["_LumViewer"]
        for m in members:
            if m["name"] in self.NETWORK:
                continue
            v = L.LumViewer(120, 90)
            v.SilentMode = True
            self.assertEqual(v.DisplayFromFile(page), 0)
            n = max(len(m["params"]), 1)
            for args in ([], [None] * n, ["x"] * n, [3e10] * n, [-1] * n, [b"\0"] * n,
                         [[1.5]] * n):
                try:
                    if m["kind"].startswith("propput"):
                        setattr(v, m["name"], args[0] if args else None)
                    elif m["kind"] == "propget":
                        getattr(v, m["name"])
                    else:
                        getattr(v, m["name"])(*args)
                except (L.ComError, TypeError, ValueError, OverflowError):
                    pass
            self.assertEqual(v.window_pixels()[0:2], (120, 90), m["name"])
            v.CloseImage()
            L.advance_clock(1000)


class Persistence(Files):
    def test_a_bag_written_by_one_viewer_is_read_by_another(self):
        path = os.path.join(self.dir.name, "settings.bag")
        a = L.LumViewer()
        a.ZoomStep = 15
        a.ViewerQualityAuto = True
        a.ImageAlignment = 8
        a.ScrollLargeChange = 30
        a.BackColor = 0x00336699
        a.save_properties(path)
        b = L.LumViewer()
        self.assertEqual(b.ZoomStep, 10, "defaults for a new instance")
        b.load_properties(path)
        self.assertEqual((b.ZoomStep, b.ViewerQualityAuto, b.ImageAlignment), (15, True, 8))
        self.assertEqual((b.ScrollLargeChange, b.BackColor), (30, 0x00336699))
        self.assertEqual(b.part("VScroll")["large_change"], 30)
        with self.assertRaises(L.ComError):
            a.save_properties(os.path.join(self.dir.name, "no", "such", "dir.bag"))


class Quality(Files):
    def test_fast_paint_then_the_quality_pass_after_300_ms(self):
        v = L.LumViewer(400, 300)
        v.ViewerQualityAuto = True
        self.assertEqual(v.DisplayFromFile(self.save(gradient(800, 600), "q.png")), 0)
        v.Zoom = 0.5
        self.assertEqual(v.ViewerQuality, 0)
        L.advance_clock(299)
        self.assertEqual(v.ViewerQuality, 0)
        L.advance_clock(1)
        self.assertEqual(v.ViewerQuality, 4)
        v.ZoomIN()
        self.assertEqual(v.ViewerQuality, 0, "a new zoom starts fast again")
        L.advance_clock(150)
        v.SetHScrollBarPosition(10)  # any paint restarts the 300 ms
        L.advance_clock(299)
        self.assertEqual(v.ViewerQuality, 0)
        L.advance_clock(1)
        self.assertEqual(v.ViewerQuality, 4)

    def test_lock_control_paints_nothing_but_raises_page_change(self):
        v = L.LumViewer(200, 200)
        self.assertEqual(v.DisplayFromFile(self.save(gradient(100, 100), "l.png")), 0)
        before = window_rgb(v)
        pages = []
        v.on("PageChange", lambda: pages.append(1))
        v.LockControl = True
        v.Zoom = 1.5
        self.assertEqual(pages, [1])
        self.assertTrue((window_rgb(v) == before).all())
        v.LockControl = False
        v.Redraw()
        self.assertFalse((window_rgb(v) == before).all())


class Painting(Files):
    """The window's pixels against Pillow's resampling of the same source rectangle."""

    def paint(self, image, size, zoom=None, fit=False, quality=0):
        v = L.LumViewer(*size)
        v.ViewerQuality = quality
        self.assertEqual(v.DisplayFromFile(self.save(image, "p.png")), 0)
        if fit:
            v.ZoomMode = 2
        elif zoom is not None:
            v.Zoom = zoom
        return v

    def destination(self, v):
        """The window rectangle the viewer drew the source rectangle into."""
        rgb = window_rgb(v)
        vw = rgb.shape[1] - (17 if v.part("VScroll")["visible"] else 0)
        vh = rgb.shape[0] - (17 if v.part("HScroll")["visible"] else 0)
        dw = round(v.ImageWidth * v.Zoom)
        dh = round(dw / (v.ImageWidth / v.ImageHeight))
        x, w = (0, vw) if vw < dw else (v.GetImageLeft(), dw)
        y, h = (0, vh) if vh < dh else (v.GetImageTop(), dh)
        return rgb, x, y, w, h

    def compare(self, v, image, resample, tolerance_mean, tolerance_max, margin=2):
        left, top, width, height = v.GetDisplayedArea()
        rgb, x0, y0, w, h = self.destination(v)
        box = (left - 1, top - 1, left - 1 + width, top - 1 + height)
        ref = np.asarray(image.resize((w, h), resample, box=box)).astype(int)
        got = rgb[y0:y0 + h, x0:x0 + w]
        m = margin
        diff = np.abs(got[m:h - m, m:w - m] - ref[m:h - m, m:w - m])
        self.assertLessEqual(diff.mean(), tolerance_mean)
        self.assertLessEqual(diff.max(), tolerance_max)

    def test_nearest_neighbour_at_zoom_1_is_the_image(self):
        image = noise(300, 200)
        v = self.paint(image, (400, 300), zoom=1.0, quality=4)  # 1.0 is nearest whatever
        self.compare(v, image, Image.NEAREST, 0, 0, margin=0)

    def test_nearest_and_high_quality_at_every_zoom(self):
        # Within 0.25 levels on average and 2 at worst, two pixels in from the edges.
        page = gradient(1200, 900)
        for zoom, fit in ((None, True), (0.37, False), (3.0, False)):
            for quality, resample in ((0, Image.NEAREST), (3, Image.BILINEAR),
                                      (4, Image.BICUBIC)):
                with self.subTest(zoom=zoom, fit=fit, quality=quality):
                    v = self.paint(page, (500, 400), zoom=zoom, fit=fit, quality=quality)
                    self.compare(v, page, resample, 0.25, 2)

    def test_high_quality_on_a_textured_page(self):
        # Detail at every few pixels: the filters must agree on more than ramps.
        page = noise(600, 450, seed=5).resize((1200, 900), Image.BILINEAR)
        for zoom, fit in ((None, True), (0.37, False), (3.0, False)):
            for quality, resample in ((3, Image.BILINEAR), (4, Image.BICUBIC)):
                with self.subTest(zoom=zoom, fit=fit, quality=quality):
                    v = self.paint(page, (500, 400), zoom=zoom, fit=fit, quality=quality)
                    self.compare(v, page, resample, 0.1, 10)

    def test_nearest_on_noise_matches_pixel_for_pixel_almost_everywhere(self):
        image = noise(200, 150, seed=3)
        v = self.paint(image, (300, 300), zoom=3.0, quality=0)
        left, top, width, height = v.GetDisplayedArea()
        rgb, x0, y0, w, h = self.destination(v)
        ref = np.asarray(image.resize((w, h), Image.NEAREST,
                                      box=(left - 1, top - 1, left - 1 + width,
                                           top - 1 + height))).astype(int)
        same = (np.abs(rgb[y0:y0 + h, x0:x0 + w] - ref).max(axis=2) == 0).mean()
        self.assertGreater(same, 0.97, "only pixels on a sampling boundary may differ")


class Sources(Files):
    def shown(self, v):
        return v.GetNativeImage() != 0 and v.ImageWidth > 0

    def test_every_file_format(self):
        image = gradient(64, 48)
        for name, kw in (("a.png", {}), ("a.jpg", {"quality": 95}), ("a.bmp", {}),
                         ("a.gif", {}), ("a.tif", {})):
            with self.subTest(name=name):
                v = L.LumViewer()
                self.assertEqual(v.DisplayFromFile(self.save(image, name, **kw)), 0)
                self.assertEqual((v.ImageWidth, v.ImageHeight), (64, 48))

    def test_pnm_and_pcx_through_the_fallback(self):
        image = gradient(40, 30)
        for name in ("a.ppm", "a.pcx"):
            with self.subTest(name=name):
                v = L.LumViewer()
                self.assertEqual(v.DisplayFromFile(self.save(image, name)), 0)
                self.assertEqual((v.ImageWidth, v.ImageHeight), (40, 30))

    def test_bytes_streams_handles_and_the_clipboard(self):
        buf = io.BytesIO()
        gradient(30, 20).save(buf, "PNG")
        data = buf.getvalue()
        v = L.LumViewer()
        self.assertEqual(v.DisplayFromByteArray(data), 0)
        self.assertEqual(v.ImageWidth, 30)
        w = L.LumViewer()
        self.assertEqual(w.DisplayFromStream(L.create_stream(data)), 0)
        self.assertEqual(w.ImageHeight, 20)
        hbm = v.GetHBitmap()
        self.assertNotEqual(hbm, 0)
        x = L.LumViewer()
        self.assertEqual(x.DisplayFromHBitmap(hbm), 0)
        self.assertEqual(x.ImageWidth, 30)
        v.DeleteHBitmap(hbm)
        v.Copy2Clipboard()
        y = L.LumViewer()
        self.assertEqual(y.DisplayFromClipboardData(), 0)
        self.assertEqual((y.ImageWidth, y.ImageHeight), (30, 20))
        self.assertEqual(L.LumViewer().DisplayFromByteArray(b"not an image"), 13)

    def test_an_image_of_the_scanning_control(self):
        t = L.twain()
        t.TwainSetHideUI(True)
        page = t.TwainAcquireToImageID()
        self.assertNotEqual(page, 0)
        v = L.LumViewer()
        self.assertEqual(v.DisplayFromImageRef(page), 0)
        self.assertEqual(v.GetNativeImage(), page)
        self.assertEqual(v.ImageWidth, t.GetWidth())
        self.assertEqual(v.SetNativeImage(0), 2)
        t.CloseImage(page)
        t.TwainCloseSource()

    def test_temporary_copy_mode_leaves_nothing_behind(self):
        tmp = tempfile.mkdtemp(dir=self.dir.name)
        old = os.environ.get("tmp")
        os.environ["tmp"] = tmp
        try:
            v = L.LumViewer()
            v.ImageForceTemporaryMode = True
            self.assertEqual(v.DisplayFromFile(self.save(gradient(20, 20), "t.png")), 0)
            self.assertEqual(len(os.listdir(tmp)), 1, "the copy the image was read from")
            v.CloseImage()
            self.assertEqual(os.listdir(tmp), [])
        finally:
            if old is None:
                del os.environ["tmp"]
            else:
                os.environ["tmp"] = old


class Internet(Files):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.root = os.path.join(cls.dir.name, "served")
        os.makedirs(cls.root)
        gradient(400, 300).save(os.path.join(cls.root, "page.png"))
        cls.http, cls.http_port = start_server("http", cls.root)
        cls.ftp, cls.ftp_port = start_server("ftp", cls.root)

    @classmethod
    def tearDownClass(cls):
        stop_server(cls.http)
        stop_server(cls.ftp)
        super().tearDownClass()

    def test_http_with_progress(self):
        v = L.LumViewer()
        v.SetHttpTransfertBufferSize(4096)
        progress = []
        v.on("DataReceived", lambda pct, left, total: progress.append((pct, left, total)))
        self.assertEqual(v.DisplayFromURL("HTTP://127.0.0.1", "/files/page.png", self.http_port), 0)
        self.assertEqual((v.ImageWidth, v.ImageHeight), (400, 300))
        size = os.path.getsize(os.path.join(self.root, "page.png"))
        self.assertEqual(progress[-1], (100, 0, size))
        self.assertEqual(len(progress), -(-size // 4096))

    def test_a_stopped_download(self):
        v = L.LumViewer()
        v.SetHttpTransfertBufferSize(1024)
        v.on("DataReceived", lambda *a: v.DisplayFromURLStop())
        self.assertEqual(v.DisplayFromURL("127.0.0.1", "/files/page.png", self.http_port), 107)
        self.assertEqual(v.GetNativeImage(), 0)

    def test_no_length_and_an_unreachable_host(self):
        L.message_boxes()
        v = L.LumViewer()
        self.assertIn(v.DisplayFromURL("127.0.0.1", "/nolength/page.png", self.http_port),
                      (103, 106))
        status = v.DisplayFromURL("127.0.0.1", "/files/page.png", 1)
        self.assertIn(status, (101, 105))
        detail = L.error_detail()
        self.assertIn("127.0.0.1", detail, "the reason, in words, names the host")
        self.assertIn("connect", detail.lower())
        self.assertEqual(v.DisplayFromFTP("127.0.0.1", "page.png", "user", "secret", 1), 101)
        self.assertIn("connect", L.error_detail().lower())
        self.assertEqual(L.message_boxes(), [], "internet failures show no message box")

    def test_ftp_download_is_deleted_with_its_image(self):
        tmp = tempfile.mkdtemp(dir=self.dir.name)
        old = os.environ.get("tmp")
        os.environ["tmp"] = tmp
        try:
            v = L.LumViewer()
            self.assertEqual(v.DisplayFromFTP("127.0.0.1", "page.png", "user", "secret",
                                              self.ftp_port), 0)
            self.assertEqual((v.ImageWidth, v.ImageHeight), (400, 300))
            self.assertEqual(len(os.listdir(tmp)), 1)
            v.CloseImage()
            self.assertEqual(os.listdir(tmp), [])
            self.assertEqual(v.DisplayFromFTP("127.0.0.1", "missing.png", "user", "secret",
                                              self.ftp_port), 104)
            self.assertEqual(os.listdir(tmp), [], "a failed download leaves no file")
            self.assertEqual(v.DisplayFromFTP("127.0.0.1", "page.png", "user", "wrong",
                                              self.ftp_port), 101)
        finally:
            if old is None:
                del os.environ["tmp"]
            else:
                os.environ["tmp"] = old


class Render(Files):
    LUMVIEW = os.path.join(BUILD, "bin", "lumview")

    def test_render_matches_the_viewer_and_pillow(self):
        page = gradient(900, 700)
        src = self.save(page, "r.png")
        out = os.path.join(self.dir.name, "out.png")
        r = subprocess.run([self.LUMVIEW, "--render", src, out, "--size", "400x300",
                            "--zoom", "0.37", "--quality", "0"], capture_output=True, text=True,
                           timeout=60)
        self.assertEqual(r.returncode, 0, r.stderr)
        shot = np.asarray(Image.open(out).convert("RGB")).astype(int)
        self.assertEqual(shot.shape, (300, 400, 3))
        v = L.LumViewer(400, 300)
        v.ViewerQuality = 0
        v.DisplayFromFile(src)
        v.Zoom = 0.37
        self.assertTrue((window_rgb(v) == shot).all(), "the same pixels as the viewer")

    def test_render_reports_a_missing_file(self):
        out = os.path.join(self.dir.name, "never.png")
        r = subprocess.run([self.LUMVIEW, "--render", "/no/such.png", out], capture_output=True,
                           text=True, timeout=60)
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("status 10", r.stderr)
        self.assertFalse(os.path.exists(out))

    def test_render_refuses_options_it_cannot_use(self):
        src = self.save(gradient(60, 40), "opt.png")
        out = os.path.join(self.dir.name, "refused.png")
        for option, value in (("--zoom", "-1"), ("--zoom", "nan"), ("--zoom", "2x"),
                              ("--quality", "9"), ("--align", "10"), ("--size", "0x10"),
                              ("--size", "99999999999x2"), ("--scroll", "a,b"),
                              ("--back-color", "red"), ("--zoom-mode", "huge")):
            with self.subTest(option=option, value=value):
                r = subprocess.run([self.LUMVIEW, "--render", src, out, option, value],
                                   capture_output=True, text=True, timeout=60)
                self.assertEqual(r.returncode, 2, r.stderr)
                self.assertIn(option, r.stderr.splitlines()[0])
                self.assertFalse(os.path.exists(out))
        r = subprocess.run([self.LUMVIEW, "--render", "http://127.0.0.1:99999/a.png", out],
                           capture_output=True, text=True, timeout=60)
        self.assertEqual(r.returncode, 2)
        self.assertIn("port", r.stderr)


if __name__ == "__main__":
    unittest_runner.main(__name__)
