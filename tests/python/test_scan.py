"""Scanning through the Python module against the virtual scanner."""
import os
import sys
import tempfile
import unittest

import unittest_runner

os.environ["LUMTWAIN_SANE"] = "0"
import lumtwainpro as lt  # noqa: E402

lt.set_message_box_echo(False)


class Scan(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        conf = os.path.join(self.dir.name, "v.conf")
        with open(conf, "w") as f:
            f.write("pages = 3\n")
        os.environ["LUMTWAIN_VIRTUAL"] = conf
        self.t = lt.twain()
        self.t.TwainCloseSource()
        self.t.TwainCloseSourceManager()
        self.t.TwainUnloadSourceManager()

    def tearDown(self):
        self.t.TwainCloseSource()
        self.t.TwainCloseSourceManager()
        del self.t
        self.dir.cleanup()
        lt.message_boxes()

    def test_acquire_query_and_save(self):
        t = self.t
        t.TwainSetHideUI(True)
        page = t.TwainAcquireToImageID()
        self.assertNotEqual(page, 0)
        self.assertEqual(t.GetStat(), lt.LumTwainStatus.Ok)
        self.assertEqual((t.GetWidth(), t.GetHeight()), (827, 1169))
        self.assertEqual(t.GetImageFormat(), "Memory BMP")
        status, data, count = t.SaveAsByteArray(sImageFormat="png")
        self.assertEqual(status, 0)
        self.assertIsInstance(data, bytes)
        self.assertEqual(len(data), count)
        self.assertTrue(data.startswith(b"\x89PNG"))
        text = t.SaveAsString("bmp")
        self.assertTrue(text.startswith("BM"))
        self.assertEqual(t.CloseImage(page), 0)
        self.assertEqual(t.GetNativeImage(), 0)

    def test_capabilities_with_outputs(self):
        t = self.t
        self.assertTrue(t.TwainOpenSource("  Virtual Scanner "))
        caps = lt.TwainCapabilities
        ok, low, high, step = t.TwainGetCapRangeNumeric(caps.ICAP_XRESOLUTION)
        self.assertTrue(ok)
        self.assertLess(low, high)
        count, values = t.TwainGetAvailableXResolutions()
        self.assertEqual(count, len(values))
        self.assertIn(300, values)
        ok, serial = t.TwainGetCapCurrentString(caps.CAP_SERIALNUMBER)
        self.assertTrue(ok)
        self.assertTrue(serial)
        self.assertEqual(t.TwainGetCapItemType(caps.ICAP_BRIGHTNESS), lt.TwainItemTypes.TWTY_FIX32)
        self.assertTrue(t.TwainSetCurrentPixelType(lt.TwainPixelType.TWPT_BW))
        self.assertEqual(t.TwainGetCurrentPixelType(), lt.TwainPixelType.TWPT_BW)
        self.assertEqual(t.TwainGetState(), lt.TwainStatus.TWAIN_SOURCE_OPEN)
        self.assertFalse(t.TwainGetAvailableBitDepthNo(99))

    def test_cancel_and_engine_absent(self):
        t = self.t
        conf = os.environ["LUMTWAIN_VIRTUAL"]
        with open(conf, "w") as f:
            f.write("cancel_at_page = 1\n")
        t.TwainUnloadSourceManager()
        del self.t
        engine = os.path.join(os.environ.get("LUM_BUILD_DIR", "build"), "lib", "liblumtwain.so")
        import ctypes
        ctypes.CDLL(engine).LUMTWAIN_TestReset()
        self.t = t = lt.twain()
        self.assertEqual(t.TwainAcquireToImageID(), 0)
        self.assertEqual(t.GetStat(), lt.LumTwainStatus.TwainTransferCanceled)
        os.environ["LUMTWAIN_ENGINE"] = "/nonexistent/liblumtwain.so"
        try:
            self.assertEqual(t.TwainGetState(), lt.TwainStatus.TWAIN_ERROR)
            self.assertEqual(t.GetStat(), lt.LumTwainStatus.WrongLumTwainVersion)
            boxes = lt.message_boxes()
            self.assertEqual(boxes[-1][:2], ("Bad LUMTWAIN.DLL version.", "Error"))
            with self.assertRaises(lt.ComError) as e:
                t.TwainSetHideUI(True)
            self.assertEqual(e.exception.number, 53)
        finally:
            del os.environ["LUMTWAIN_ENGINE"]


if __name__ == "__main__":
    unittest_runner.main(__name__)
