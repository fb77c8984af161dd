"""The library's own codecs checked by tools that are not ours: GIF files read by Pillow,
giflib's giftext and netpbm's giftopnm; PNM files read and written against Pillow and netpbm
(pnmfile, pamfile, pnmtoplainpnm, pamdepth); PCX files written by Pillow and ImageMagick;
colour-managed loading against Pillow's ImageCms (lcms2); SaveAsGifI and SaveAsPnm through
the Python module. Drives build/bin/own_codecs_tool."""
import ctypes
import io
import json
import os
import subprocess
import tempfile
import unittest

import numpy as np
import unittest_runner

os.environ["LUMTWAIN_SANE"] = "0"
import lumtwainpro as lt  # noqa: E402
from PIL import Image, ImageCms  # noqa: E402
from scanner_helpers import close_twain, open_virtual_twain  # noqa: E402

lt.set_message_box_echo(False)

BUILD = os.environ.get("LUM_BUILD_DIR", "build")
TOOL = os.path.join(BUILD, "bin", "own_codecs_tool")
CONVERT = "/usr/bin/convert"  # ImageMagick; the convert first on PATH may be another program


def run(*args, check=True):
    r = subprocess.run([str(a) for a in args], capture_output=True, timeout=300)
    if check and r.returncode != 0:
        raise AssertionError(f"{args[0]} failed: {r.stdout!r} {r.stderr!r}")
    return r


def tool(*args, expect_ok=True):
    r = run(TOOL, *args, check=False)
    out = json.loads(r.stdout.decode().strip().splitlines()[-1])
    if expect_ok:
        assert r.returncode == 0, (args, out, r.stderr)
    return out


def photo(w, h, seed=0):
    """Smooth gradients with some noise: photo-like RGB (h, w, 3)."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:h, 0:w].astype(np.float32)
    r = 128 + 110 * np.sin(x / 23.0) * np.cos(y / 31.0)
    g = 128 + 100 * np.sin((x + y) / 41.0)
    b = 255 * x / max(w - 1, 1)
    img = np.stack([r, g, b], -1) + rng.normal(0, 6, (h, w, 3))
    return np.clip(img, 0, 255).astype(np.uint8)


class Case(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def raw(self, name, array):
        p = self.path(name)
        np.ascontiguousarray(array).tofile(p)
        return p


# ---- GIF --------------------------------------------------------------------------------

def pack(idx, bits):
    """Index rows packed most significant bit first, rows not padded."""
    h, w = idx.shape
    per = 8 // bits
    padded = np.zeros((h, (w + per - 1) // per * per), np.uint8)
    padded[:, :w] = idx
    out = np.zeros((h, padded.shape[1] // per), np.uint8)
    for k in range(per):
        out |= (padded[:, k::per] << (8 - bits * (k + 1))).astype(np.uint8)
    return out


class Gif(Case):
    def write(self, idx, bits, interlaced, palette, transparent=-1, name="out.gif"):
        h, w = idx.shape
        rows = idx if bits == 8 else pack(idx, bits)
        pal = self.raw("pal.raw", np.asarray(palette, np.uint8))
        out = self.path(name)
        tool("gif", self.raw("in.raw", rows), w, h, bits, int(interlaced), pal, transparent, out)
        return out

    def test_decoders_read_the_indices_and_palette_written(self):
        rng = np.random.default_rng(4)
        for bits in (1, 4, 8):
            for interlaced in (False, True):
                with self.subTest(bits=bits, interlaced=interlaced):
                    w, h = 61, 37
                    # Runs and noise, so that strings grow long and the table is cleared.
                    idx = rng.integers(0, 1 << bits, (h, w), dtype=np.uint8)
                    idx[::3, :20] = 1
                    palette = rng.integers(0, 256, ((1 << bits), 4), dtype=np.uint8)
                    gif = self.write(idx, bits, interlaced, palette)
                    with Image.open(gif) as im:
                        self.assertEqual(im.mode, "P")
                        self.assertTrue((np.asarray(im) == idx).all())
                        pal = np.asarray(im.getpalette()[: 3 << bits], np.uint8).reshape(-1, 3)
                        self.assertTrue((pal == palette[:, :3]).all())
                    text = run("giftext", "-c", gif).stdout.decode()
                    self.assertIn("Width = 61, Height = 37", text)
                    self.assertIn(f"BitsPerPixel = {bits}", text)
                    self.assertIn("Image is Interlaced" if interlaced else "Non Interlaced", text)
                    self.assertIn("GIF file terminated normally", text)
                    ppm = run("giftopnm", gif).stdout
                    with Image.open(io.BytesIO(ppm)) as im:
                        rgb = np.asarray(im.convert("RGB"))
                    self.assertTrue((rgb == palette[idx][:, :, :3]).all(), "giftopnm")

    def test_large_noise_round_trips(self):
        idx = np.random.default_rng(9).integers(0, 256, (400, 900), dtype=np.uint8)
        gif = self.write(idx, 8, True, np.tile(np.arange(256, dtype=np.uint8)[:, None], (1, 4)))
        with Image.open(gif) as im:
            self.assertTrue((np.asarray(im) == idx).all())

    def test_transparent_index_is_read_by_pillow_and_giftext(self):
        palette = np.zeros((16, 4), np.uint8)
        palette[:, 0] = np.arange(16) * 16
        palette[7] = (0x12, 0x34, 0x56, 0)
        idx = np.arange(64, dtype=np.uint8).reshape(8, 8) % 16
        gif = self.write(idx, 4, True, palette, transparent=0x563412)
        with Image.open(gif) as im:
            self.assertEqual(im.info.get("transparency"), 7)
        text = run("giftext", "-e", gif).stdout.decode()
        self.assertIn("GIF file terminated normally", text)

    def test_too_wide_fails_and_leaves_the_file(self):
        out = self.path("wide.gif")
        with open(out, "wb") as f:
            f.write(b"old")
        r = tool("gif", self.raw("w.raw", np.zeros(70000 // 8 + 1, np.uint8)), 70000, 1, 1, 1,
                 self.raw("p.raw", np.zeros(8, np.uint8)), -1, out, expect_ok=False)
        self.assertEqual(r["result"], 0)
        self.assertEqual(open(out, "rb").read(), b"old")


# ---- PNM --------------------------------------------------------------------------------

def pnm_samples(data):
    """Header and samples of a PNM file, parsed here independently (comments allowed)."""
    magic = data[:2].decode()
    pos, fields = 2, []
    need = 2 if magic in ("P1", "P4") else 3
    while len(fields) < need:
        c = data[pos:pos + 1]
        if c == b"#":
            while data[pos:pos + 1] not in (b"\n", b"\r", b""):
                pos += 1
        elif c.isdigit():
            start = pos
            while data[pos:pos + 1].isdigit():
                pos += 1
            fields.append(int(data[start:pos]))
            continue
        pos += 1
    w, h = fields[0], fields[1]
    maxval = fields[2] if need == 3 else 1
    if data[pos:pos + 1] == b"#":  # a comment right after the last number ends the header
        while data[pos:pos + 1] not in (b"\n", b"\r"):
            pos += 1
    body = data[pos + 1:]
    ch = 3 if magic in ("P3", "P6") else 1
    if magic in ("P1", "P2", "P3"):
        text = b"\n".join(l.split(b"#")[0] for l in body.split(b"\n"))
        toks = text.split() if magic != "P1" else list(text.replace(b" ", b"").replace(b"\n", b""))
        vals = [int(t) if magic != "P1" else int(chr(t)) for t in toks][: w * h * ch]
        s = np.asarray(vals, np.uint32)
    elif magic == "P4":
        bits = np.unpackbits(np.frombuffer(body, np.uint8)).reshape(h, -1)[:, :w]
        s = bits.astype(np.uint32)
    else:
        dt = ">u2" if maxval > 255 else "u1"
        s = np.frombuffer(body, dt, w * h * ch).astype(np.uint32)
    s = s.reshape(h, w, ch) if ch == 3 else s.reshape(h, w, 1).repeat(3, 2)
    if magic in ("P1", "P4"):
        return w, h, np.where(s == 1, 0, 255).astype(np.uint8)
    return w, h, np.minimum((s * 510 + maxval) // (2 * maxval), 255).astype(np.uint8)


class Pnm(Case):
    def read(self, path):
        out = self.path("read.raw")
        r = tool("pnm-read", path, out)
        w, h = r["width"], r["height"]
        stride = (w * 3 + 3) // 4 * 4
        bgr = np.fromfile(out, np.uint8).reshape(h, stride)[:, : w * 3].reshape(h, w, 3)
        return bgr[:, :, ::-1]

    def with_comments(self, path):
        data = open(path, "rb").read()
        lines = data.split(b"\n", 3)
        out = path + ".c"
        # A comment after the magic holding numbers, and one right after the size (the end of
        # the header of a bilevel file).
        fixed = lines[0] + b"\n# 12 34 made by hand\n" + lines[1] + b"# size\n" + b"\n".join(lines[2:])
        with open(out, "wb") as f:
            f.write(fixed)
        return out

    def test_all_six_kinds_every_maxval_with_and_without_comments(self):
        rgb = photo(23, 9)
        Image.fromarray(rgb).save(self.path("c.ppm"))
        Image.fromarray(rgb[:, :, 1]).save(self.path("g.pgm"))
        Image.fromarray(rgb[:, :, 0] > 128).save(self.path("b.pbm"))
        sources = {"P6": "c.ppm", "P5": "g.pgm", "P4": "b.pbm"}
        files = []
        for kind, name in sources.items():
            p = self.path(name)
            files.append(p)
            plain = self.path(name + ".plain")
            with open(plain, "wb") as f:
                f.write(run("pnmtoplainpnm", p).stdout)
            files.append(plain)
            if kind != "P4":
                for maxval in (1, 15, 1023, 65535):
                    for src in (p, plain):
                        out = f"{src}.{maxval}"
                        with open(out, "wb") as f:
                            f.write(run("pamdepth", maxval, src).stdout)
                        if src == plain:
                            with open(out + "p", "wb") as f:
                                f.write(run("pnmtoplainpnm", out).stdout)
                            out += "p"
                        files.append(out)
        kinds = set()
        for f in files:
            for path in (f, self.with_comments(f)):
                with self.subTest(file=os.path.basename(path)):
                    data = open(path, "rb").read()
                    kinds.add(data[:2])
                    w, h, want = pnm_samples(data)
                    got = self.read(path)
                    self.assertEqual(got.shape, (h, w, 3))
                    self.assertTrue((got == want).all(), os.path.basename(path))
        self.assertEqual(kinds, {b"P1", b"P2", b"P3", b"P4", b"P5", b"P6"})

    def test_pillow_files_read_equal(self):
        rgb = photo(31, 17, 3)
        Image.fromarray(rgb).save(self.path("a.ppm"))
        self.assertTrue((self.read(self.path("a.ppm")) == rgb).all())

    def write(self, pixels, w, h, bpp, palette, indexed, grey, name):
        out = self.path(name)
        pal = self.raw("pal.raw", np.asarray(palette, np.uint8)) if palette is not None else "-"
        tool("pnm-write", self.raw("px.raw", pixels), w, h, bpp, pal, indexed, grey, out)
        return out

    def test_written_files_read_back_by_pillow_and_netpbm(self):
        w, h = 29, 7
        rgb = photo(w, h, 5)
        stride3 = (3 * w + 3) // 4 * 4
        bgr = np.zeros((h, stride3), np.uint8)
        bgr[:, : 3 * w] = rgb[:, :, ::-1].reshape(h, -1)
        stride8 = (w + 3) // 4 * 4
        idx = np.zeros((h, stride8), np.uint8)
        idx[:, :w] = (rgb[:, :, 1] > 128).astype(np.uint8)
        grey_pal = np.stack([np.arange(256)] * 3 + [np.full(256, 255)], 1).astype(np.uint8)
        bw_pal = np.array([[0, 0, 0, 255], [255, 255, 255, 255]], np.uint8)
        gidx = np.zeros((h, stride8), np.uint8)
        gidx[:, :w] = rgb[:, :, 0]
        cases = [
            ("P6", self.write(bgr, w, h, 24, None, 0, 512, "o.ppm"), "RGB", rgb,
             "PPM raw, 29 by 7  maxval 255"),
            ("P5", self.write(gidx, w, h, 8, grey_pal, 256, 512, "o.pgm"), "L", rgb[:, :, 0],
             "PGM raw, 29 by 7  maxval 255"),
            ("P4", self.write(idx, w, h, 1, bw_pal, 2, 512, "o.pbm"), "1",
             (rgb[:, :, 1] > 128), "PBM raw, 29 by 7"),
        ]
        for kind, path, mode, want, info in cases:
            with self.subTest(kind=kind):
                with Image.open(path) as im:
                    self.assertEqual(im.mode, mode)
                    self.assertTrue((np.asarray(im) == want).all())
                self.assertIn(info, run("pnmfile", path).stdout.decode())
                pam = run("pamfile", path).stdout.decode()
                self.assertIn(f"{kind[:1]}{'BM' if kind == 'P4' else 'GM' if kind == 'P5' else 'PM'} raw",
                              pam)


# ---- PCX --------------------------------------------------------------------------------

class Pcx(Case):
    def decode(self, path):
        out = self.path("pcx.raw")
        r = tool("pcx-read", path, out)
        rgb = np.fromfile(out, np.uint8).reshape(r["height"], r["width"], 3)
        return r, rgb

    def test_pillow_and_imagemagick_files_decode_equal(self):
        rng = np.random.default_rng(8)
        rgb = photo(37, 19, 1)
        src = {
            "rgb": Image.fromarray(rgb),
            "grey": Image.fromarray(rgb[:, :, 1]),
            "bilevel": Image.fromarray(rgb[:, :, 0] > 120).convert("1"),
            "palette": Image.fromarray(rgb).quantize(200),
            "palette16": Image.fromarray(rng.integers(0, 16, (19, 37), dtype=np.uint8), "P"),
        }
        src["palette16"].putpalette(list(rng.integers(0, 256, 48)))
        seen = set()
        for name, im in src.items():
            want = np.asarray(im.convert("RGB"))
            png = self.path(name + ".png")
            im.save(png)
            made = {"pillow": self.path(name + "_pil.pcx"), "imagemagick": self.path(name + "_im.pcx")}
            im.save(made["pillow"])
            run(CONVERT, png, "-density", "300x200", "-units", "PixelsPerInch", made["imagemagick"])
            for who, path in made.items():
                with self.subTest(image=name, writer=who):
                    head = open(path, "rb").read(128)
                    r, got = self.decode(path)
                    seen.add((head[3], head[65], who))
                    self.assertTrue((got == want).all())
                    dpi = (100, 100) if who == "pillow" else (300, 200)  # Pillow writes 100
                    self.assertEqual((r["hdpi"], r["vdpi"]), dpi)
        # Pillow writes 1 x 1, 8 x 1 and 8 x 3; ImageMagick 8 x 1 and 8 x 3.
        self.assertTrue({(1, 1, "pillow"), (8, 1, "pillow"), (8, 3, "pillow"), (8, 1, "imagemagick"),
                         (8, 3, "imagemagick")} <= seen, seen)

    def test_unsupported_kind_gives_no_bitmap(self):
        rgba = Image.fromarray(np.zeros((4, 4, 4), np.uint8), "RGBA")
        rgba.putpixel((0, 0), (1, 2, 3, 0))
        rgba.save(self.path("a.png"))
        run(CONVERT, self.path("a.png"), self.path("a.pcx"))
        head = open(self.path("a.pcx"), "rb").read(128)
        self.assertEqual((head[3], head[65]), (8, 4))
        self.assertFalse(tool("pcx-read", self.path("a.pcx"), self.path("x"), expect_ok=False)["ok"])


# ---- Loading with colour management ------------------------------------------------------

class Lcms:
    """Profiles made with lcms2 itself, through ctypes."""

    class XyY(ctypes.Structure):
        _fields_ = [("x", ctypes.c_double), ("y", ctypes.c_double), ("Y", ctypes.c_double)]

    def __init__(self):
        self.lib = ctypes.CDLL("liblcms2.so.2")
        self.lib.cmsBuildGamma.restype = ctypes.c_void_p
        self.lib.cmsBuildGamma.argtypes = [ctypes.c_void_p, ctypes.c_double]
        self.lib.cmsBuildParametricToneCurve.restype = ctypes.c_void_p
        self.lib.cmsBuildParametricToneCurve.argtypes = [ctypes.c_void_p, ctypes.c_int,
                                                         ctypes.POINTER(ctypes.c_double)]
        self.lib.cmsCreateRGBProfile.restype = ctypes.c_void_p
        self.lib.cmsCreateRGBProfile.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p]
        self.lib.cmsSaveProfileToMem.argtypes = [ctypes.c_void_p, ctypes.c_void_p,
                                                 ctypes.POINTER(ctypes.c_uint32)]
        self.lib.cmsCloseProfile.argtypes = [ctypes.c_void_p]
        self.lib.cmsFreeToneCurve.argtypes = [ctypes.c_void_p]

    def rgb_profile(self, primaries, curve):
        white = self.XyY(0.3127, 0.3290, 1.0)
        prim = (self.XyY * 3)(*[self.XyY(x, y, 1.0) for x, y in primaries])
        curves = (ctypes.c_void_p * 3)(curve, curve, curve)
        prof = self.lib.cmsCreateRGBProfile(ctypes.byref(white), prim, curves)
        size = ctypes.c_uint32(0)
        self.lib.cmsSaveProfileToMem(prof, None, ctypes.byref(size))
        buf = ctypes.create_string_buffer(size.value)
        self.lib.cmsSaveProfileToMem(prof, buf, ctypes.byref(size))
        self.lib.cmsCloseProfile(prof)
        self.lib.cmsFreeToneCurve(curve)
        return buf.raw[: size.value]

    def adobe_rgb(self):
        return self.rgb_profile([(0.64, 0.33), (0.21, 0.71), (0.15, 0.06)],
                                self.lib.cmsBuildGamma(None, 563 / 256))

    def display_p3(self):
        params = (ctypes.c_double * 5)(2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045)
        return self.rgb_profile([(0.680, 0.320), (0.265, 0.690), (0.150, 0.060)],
                                self.lib.cmsBuildParametricToneCurve(None, 4, params))


class Icm(Case):
    def load(self, path, icm):
        out = self.path("load.raw")
        r = tool("load", *(["icm"] if icm else []), path, out)
        return r, np.fromfile(out, np.uint8).reshape(r["height"], r["width"], 4)[:, :, :3]

    def test_embedded_profiles_convert_to_the_srgb_lcms2_computes(self):
        lcms = Lcms()
        rgb = photo(64, 48, 2)
        rgb[:8, :8] = (0, 255, 0)  # saturated: outside sRGB for both wide gamuts
        srgb = ImageCms.createProfile("sRGB")
        for pname, icc in (("Adobe RGB", lcms.adobe_rgb()), ("Display P3", lcms.display_p3())):
            for fmt, ext in (("JPEG", "jpg"), ("PNG", "png"), ("TIFF", "tif")):
                with self.subTest(profile=pname, format=fmt):
                    path = self.path(f"p.{ext}")
                    kw = {"quality": 95} if fmt == "JPEG" else {}
                    Image.fromarray(rgb).save(path, fmt, icc_profile=icc, **kw)
                    with Image.open(path) as im:
                        self.assertEqual(im.info.get("icc_profile"), icc)
                        decoded = im.convert("RGB")
                        want = np.asarray(ImageCms.profileToProfile(
                            decoded, ImageCms.ImageCmsProfile(io.BytesIO(icc)), srgb,
                            renderingIntent=ImageCms.INTENT_PERCEPTUAL, outputMode="RGB"))
                    r, plain = self.load(path, False)
                    self.assertTrue((plain == np.asarray(decoded)).all(), "the same decode")
                    r, got = self.load(path, True)
                    self.assertEqual(r["status"], 0)
                    diff = np.abs(got.astype(int) - want.astype(int))
                    self.assertLessEqual(diff.max(), 1, f"{pname} {fmt}")
                    self.assertGreater(np.abs(got.astype(int) - plain.astype(int)).max(), 20,
                                       "the profile was applied")

    def test_without_profile_icm_changes_nothing(self):
        path = self.path("n.png")
        Image.fromarray(photo(20, 10)).save(path)
        self.assertTrue((self.load(path, True)[1] == self.load(path, False)[1]).all())

    def test_fallback_chain_names(self):
        Image.fromarray(photo(9, 5)[:, :, 0]).save(self.path("scan.pgm"))
        r, _ = self.load(self.path("scan.pgm"), True)
        self.assertEqual((r["status"], r["format"], r["pixel_format"]), (0, "PGM", "24bppRGB"))
        Image.fromarray(photo(9, 5)).save(self.path("p.pcx"), dpi=(240, 120))
        r, got = self.load(self.path("p.pcx"), False)
        self.assertEqual((r["status"], r["format"]), (0, "PCX"))
        self.assertTrue((got == photo(9, 5)).all())
        with open(self.path("x.zz"), "wb") as f:
            f.write(b"nothing")
        self.assertEqual(tool("load", self.path("x.zz"), self.path("o"), expect_ok=False)["status"], 13)
        self.assertEqual(tool("load", self.path("none.png"), self.path("o"), expect_ok=False)["status"], 10)


# ---- The members, through the Python module ---------------------------------------------

class Members(Case):
    def setUp(self):
        super().setUp()
        self.t = open_virtual_twain(self.dir.name)

    def tearDown(self):
        close_twain(self.t)
        del self.t
        lt.message_boxes()
        super().tearDown()

    def scan(self, pixel_type, flavor=0):
        t = self.t
        t.TwainCloseSource()
        self.assertTrue(t.TwainOpenSource("Virtual Scanner"))
        self.assertTrue(t.TwainSetCurrentPixelType(pixel_type))
        if flavor:
            self.assertTrue(t.TwainSetCurrentPixelFlavor(flavor))
        self.assertNotEqual(t.TwainAcquireToImageID(), 0)

    def reference(self):
        png = self.path("ref.png")
        self.assertEqual(self.t.SaveAsPng(png), 0)
        with Image.open(png) as im:
            return np.asarray(im.convert("RGB"))

    def test_save_as_pnm_of_every_pixel_type(self):
        P = lt.TwainPixelType
        for ptype, flavor, kind in ((P.TWPT_BW, 0, "PBM"), (P.TWPT_BW, 1, "PBM"),
                                    (P.TWPT_GRAY, 0, "PGM"), (P.TWPT_RGB, 0, "PPM")):
            with self.subTest(pixel_type=ptype, flavor=flavor):
                self.scan(ptype, flavor)
                out = self.path("page.pnm")
                self.assertEqual(self.t.SaveAsPnm(out), 0)
                self.assertIn(kind + " raw", run("pnmfile", out).stdout.decode())
                with Image.open(out) as im:
                    self.assertTrue((np.asarray(im.convert("RGB")) == self.reference()).all())

    def test_save_as_gif_i_of_a_colour_page(self):
        self.scan(lt.TwainPixelType.TWPT_RGB)
        out = self.path("page.gif")
        self.assertEqual(self.t.SaveAsGifI(out), 0)
        self.assertEqual(self.t.GetStat(), 0)
        with Image.open(out) as im:
            self.assertEqual(im.size, (self.t.GetWidth(), self.t.GetHeight()))
            got = np.asarray(im.convert("RGB")).astype(int)
        mse = ((got - self.reference().astype(int)) ** 2).mean()
        self.assertLess(mse, 30)
        self.assertIn("Image is Interlaced", run("giftext", out).stdout.decode())

    def test_members_without_an_image(self):
        self.assertEqual(self.t.SaveAsGifI(self.path("n.gif")), 2)
        self.assertEqual(self.t.SaveAsPnm(self.path("n.pnm")), 2)
        self.assertFalse(os.path.exists(self.path("n.gif")))


class LumScan(Case):
    LUMSCAN = os.path.join(BUILD, "bin", "lumscan")

    def test_pnm_outputs_by_pixel_type(self):
        for ext, ptype, kind in (("pbm", "bw", "PBM"), ("pgm", "gray", "PGM"), ("ppm", "rgb", "PPM"),
                                 ("pnm", "gray", "PGM")):
            with self.subTest(ext=ext):
                out = self.path("page." + ext)
                run(self.LUMSCAN, "scan", "--resolution", "75", "--pixel-type", ptype, out)
                self.assertIn(f"{kind} raw, 620 by 877", run("pnmfile", out).stdout.decode())

    def test_pnm_cannot_be_uploaded(self):
        r = run(self.LUMSCAN, "scan", "ftp://127.0.0.1:1/page.pnm", check=False)
        self.assertNotEqual(r.returncode, 0)
        self.assertIn(b"cannot be uploaded", r.stderr)


if __name__ == "__main__":
    unittest_runner.main(__name__)
