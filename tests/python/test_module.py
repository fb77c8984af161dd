"""The lumtwainpro module: controls, members by name, outputs, enumerations and errors."""

import os
import sys
import tempfile
import unittest

import unittest_runner

import lumtwainpro as L

L.set_message_box_echo(False)


class NoEngine:
    """Runs with the TWAIN engine missing, as on a machine without it."""

    def __enter__(self):
        self.old = os.environ.get("LUMTWAIN_ENGINE")
        os.environ["LUMTWAIN_ENGINE"] = "/nonexistent"
        L.message_boxes()

    def __exit__(self, *exc):
        if self.old is None:
            del os.environ["LUMTWAIN_ENGINE"]
        else:
            os.environ["LUMTWAIN_ENGINE"] = self.old
        L.message_boxes()


class NewControl(unittest.TestCase):
    def test_first_members(self):
        t = L.twain()
        self.assertEqual(t.GetStat(), 0)
        self.assertEqual(t.GetNativeImage(), 0)
        self.assertEqual(t.GetWidth(), 0)
        self.assertEqual(t.GetHeight(), 0)
        self.assertEqual(t.GetStat(), 2)
        self.assertIs(t.GetStat(), L.LumTwainStatus.InvalidParameter)

    def test_names_are_case_insensitive(self):
        t = L.twain()
        self.assertEqual(t.getstat(), 0)
        t.SetNativeImage(nimageid=5)
        self.assertEqual(t.GETNATIVEIMAGE(), 5)

    def test_controls_are_independent(self):
        a, b = L.twain(), L.twain()
        a.SetNativeImage(7)
        b.GetWidth()
        self.assertEqual(a.GetNativeImage(), 7)
        self.assertEqual(b.GetNativeImage(), 0)
        self.assertEqual(a.GetStat(), 0)
        self.assertEqual(b.GetStat(), 2)

    def test_void_member_returns_none(self):
        t = L.twain()
        self.assertIsNone(t.SetNativeImage(3))
        self.assertEqual(t.CloseImage(0), 0, "CloseImage(0) keeps the status")
        self.assertEqual(t.GetNativeImage(), 3)

    def test_dir_and_repr(self):
        t = L.twain()
        self.assertIn("TwainGetCapRangeNumeric", dir(t))
        self.assertEqual(repr(t), "<lumtwainpro.twain>")
        self.assertEqual(t.GetStat.name, "GetStat")

    def test_viewer_is_available(self):
        self.assertEqual(repr(L.LumViewer()), "<lumtwainpro.LumViewer>")


class Arguments(unittest.TestCase):
    def setUp(self):
        self.t = L.twain()

    def test_coercion(self):
        self.t.SetNativeImage(41.5)
        self.assertEqual(self.t.GetNativeImage(), 42, "half to even")
        self.t.SetNativeImage("12")
        self.assertEqual(self.t.GetNativeImage(), 12)
        self.t.SetNativeImage(True)
        self.assertEqual(self.t.GetNativeImage(), -1)
        self.t.SetNativeImage(L.TwainPaperSize.A5)
        self.assertEqual(self.t.GetNativeImage(), 5)

    def test_overflow_is_error_6(self):
        self.t.SetNativeImage(9)
        for value in (3e10, 2**31, -(2**31) - 1, 10**400):
            with self.assertRaises(L.ComError) as cm:
                self.t.SetNativeImage(value)
            self.assertEqual(cm.exception.number, 6)
            self.assertEqual(cm.exception.hresult, 0x800A0006)
        self.assertEqual(self.t.GetNativeImage(), 9, "failed calls changed nothing")
        self.t.SetNativeImage(2**31 - 1)
        self.assertEqual(self.t.GetNativeImage(), 2**31 - 1)

    def test_type_mismatch_is_error_13(self):
        for value in ("abc", "", b"\x01", [1, 2], L.create_stream(b"")):
            with self.assertRaises(L.ComError) as cm:
                self.t.SetNativeImage(value)
            self.assertEqual(cm.exception.number, 13, repr(value))
        with self.assertRaises(L.ComError) as cm:
            self.t.SaveAsStream("not a stream", "bmp")
        self.assertEqual(cm.exception.number, 13)

    def test_bad_calls_raise_type_errors(self):
        with self.assertRaises(TypeError):
            self.t.SetNativeImage()
        with self.assertRaises(TypeError):
            self.t.SetNativeImage(None)
        with self.assertRaises(TypeError):
            self.t.SetNativeImage(1, 2)
        with self.assertRaises(TypeError):
            self.t.SetNativeImage(nOther=1)
        with self.assertRaises(TypeError):
            self.t.SetNativeImage(1, nImageID=1)
        with self.assertRaises(TypeError):
            self.t.SetNativeImage(object())
        with self.assertRaises(AttributeError):
            self.t.NoSuchMember()
        self.assertEqual(self.t.GetStat(), 0)

    def test_message_of_com_error(self):
        try:
            self.t.SetNativeImage(3e10)
        except L.ComError as e:
            self.assertIn("Overflow", str(e))
            self.assertIn("SetNativeImage", str(e))
            self.assertIsInstance(e, Exception)
        else:
            self.fail("no error")


class Outputs(unittest.TestCase):
    def setUp(self):
        self.t = L.twain()

    def test_outputs_follow_the_result(self):
        with NoEngine():
            r = self.t.TwainGetCapRangeNumeric(L.TwainCapabilities.ICAP_XRESOLUTION)
            self.assertEqual(r, (False, 0.0, 0.0, 0.0))
            self.assertIs(r[0], False)
            r = self.t.TwainGetCapRangeNumeric(nCap=4376, nMinValue=1.0)
            self.assertEqual(len(r), 4)

    def test_byte_array_and_count(self):
        status, data, count = self.t.SaveAsByteArray(sImageFormat="bmp")
        self.assertIsInstance(data, bytes)
        self.assertEqual(data, b"")
        self.assertEqual(count, 0)
        self.assertIsInstance(status, int)

    def test_array_output_is_a_list(self):
        with NoEngine():
            count, values = self.t.TwainGetAvailableBrightness()
            self.assertEqual(count, 0)
            self.assertIsInstance(values, list)

    def test_stream_is_handed_back(self):
        s = L.create_stream(b"")
        status, back = self.t.SaveAsStream(s, "bmp")
        self.assertIsInstance(back, L.Stream)
        self.assertIsInstance(status, int)

    def test_engine_missing(self):
        with NoEngine():
            self.assertEqual(self.t.TwainGetState(), -1)
            self.assertIs(self.t.TwainGetState(), L.TwainStatus.TWAIN_ERROR)
            boxes = L.message_boxes()
            self.assertEqual(boxes, [("Bad LUMTWAIN.DLL version.", "Error", 16)] * 2)
            self.assertEqual(L.message_boxes(), [], "taking them clears the list")
            self.assertEqual(self.t.GetStat(), 31)


class Enumerations(unittest.TestCase):
    def test_sizes(self):
        lib = L.type_library()["enums"]
        self.assertEqual(len(lib["TwainCapabilities"]), 125)
        self.assertEqual(len(lib["TwainLanguage"]), 129)
        self.assertEqual(len(lib["TwainCountry"]), 239)
        self.assertEqual(len(lib["TwainPaperSize"]), 58)
        self.assertEqual(len(L.TwainCapabilities.__members__), 125)
        self.assertEqual(len(L.TwainPaperSize.__members__), 58)

    def test_values_and_aliases(self):
        self.assertEqual(L.LumTwainStatus.Ok, 0)
        self.assertEqual(L.TwainCapabilities.ICAP_XRESOLUTION, 4376)
        self.assertEqual(L.TwainCapabilities.CAP_CUSTOMBASE, -32768)
        self.assertIs(L.TwainPaperSize.A4, L.TwainPaperSize.A4LETTER)
        self.assertEqual(L.TwainLanguage.TWLG_USERLOCALE, -1)
        self.assertEqual(L.TwainCountry.TWCY_ANDORRA, 33)
        self.assertEqual(L.TifCompression.CompressionLZW, 2)
        self.assertEqual(L.Colors.Black, -16777216)
        self.assertEqual(L.RotateFlipType.Rotate180FlipXY, L.RotateFlipType.RotateNoneFlipNone)
        self.assertEqual(L.ViewerStatus.ViewerPdfUnexpectedError, 35)
        self.assertEqual(L.PrinterStatus.PrinterOK, 0)
        self.assertTrue(issubclass(L.QualityMode, int))


class TypeLibrary(unittest.TestCase):
    def test_header(self):
        lib = L.type_library()
        self.assertEqual((lib["name"], lib["version"]), ("LumTwainPro", "1.4"))
        self.assertEqual(lib["help"], "LumTwain Pro OCX - TWAIN ActiveX")
        names = {c["name"]: c for c in lib["coclasses"]}
        self.assertEqual(names["twain"]["progid"], "LumTwainPro.twain")
        self.assertFalse(names["dummy"]["creatable"])

    def test_members(self):
        members = {m["name"]: m for m in L.type_library()["interfaces"]["_twain"]}
        dispids = [m["dispid"] for m in members.values()]
        self.assertEqual(len(dispids), len(set(dispids)))
        tiff = members["SaveAsTiff"]["params"]
        self.assertEqual([p["name"] for p in tiff], ["sFilename", "nModeCompression", "nColorDepth"])
        self.assertEqual(tiff[1]["default"], L.TifCompression.CompressionLZW)
        self.assertEqual(tiff[1]["enum"], "TifCompression")
        ba = members["SaveAsByteArray"]["params"]
        self.assertEqual([p["by_ref"] for p in ba], [True, True, False, False])
        self.assertEqual(ba[0]["type"], "Byte()")


class Streams(unittest.TestCase):
    def test_stream_methods(self):
        s = L.create_stream(b"hello")
        self.assertEqual(s.Stat().cbSize, 5)
        self.assertEqual(s.Read(2), b"he")
        self.assertEqual(s.Read(100), b"llo")
        self.assertEqual(s.Read(100), b"")
        self.assertEqual(s.Seek(0, 2), 5)
        self.assertEqual(s.Write(b"!"), 1)
        self.assertEqual(s.Seek(0), 0)
        self.assertEqual(s.Read(10), b"hello!")
        s.SetSize(2)
        self.assertEqual(s.Stat().cbSize, 2)
        self.assertEqual(L.create_stream().Stat().cbSize, 0)

    def test_bad_stream_calls(self):
        s = L.create_stream(b"abc")
        with self.assertRaises(ValueError):
            s.Read(-1)
        with self.assertRaises(L.ComError):
            s.Seek(-10, 0)
        with self.assertRaises(TypeError):
            s.Write("text")


class Robustness(unittest.TestCase):
    def test_every_member_survives_bad_arguments(self):
        """No argument list may crash a member: each call returns or raises cleanly."""
        t = L.twain()
        members = L.type_library()["interfaces"]["_twain"]
        with NoEngine():
            for m in members:
                n = len(m["params"])
                for args in ([], [None] * n, ["x"] * n, [3e10] * n, [b"\0"] * n, [[1.5]] * n):
                    try:
                        getattr(t, m["name"])(*args)
                    except (L.ComError, TypeError):
                        pass


class Registration(unittest.TestCase):
    def test_round_trip(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "registry.ini")
            old = os.environ.get("LUMTWAIN_REGISTRY")
            os.environ["LUMTWAIN_REGISTRY"] = path
            try:
                self.assertEqual(L.registry_path(), path)
                self.assertEqual(L.DllRegisterServer(), 0)
                with open(path) as f:
                    text = f.read()
                self.assertIn("[ProgID\\LumTwainPro.twain]", text)
                self.assertIn("liblumtwainpro.so", text)
                self.assertEqual(L.DllUnregisterServer(), 0)
                with open(path) as f:
                    self.assertNotIn("LumTwainPro", f.read())
            finally:
                if old is None:
                    del os.environ["LUMTWAIN_REGISTRY"]
                else:
                    os.environ["LUMTWAIN_REGISTRY"] = old


if __name__ == "__main__":
    unittest_runner.main(__name__)
