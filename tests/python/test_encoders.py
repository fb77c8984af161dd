"""The gdiplus stand-in's encoders, checked by tools that are not ours: Pillow reads every
file back (lossless formats bit-exact), tiffinfo reports compression and pages, JPEG
quality is read from the quantisation tables. Drives tests/tools/encode_tool."""

import os
import subprocess
import sys
import tempfile
import traceback

import numpy as np
from PIL import Image, JpegImagePlugin

BUILD = os.environ.get("LUM_BUILD_DIR", "build")
TOOL = os.path.join(BUILD, "bin", "encode_tool")
TMP = tempfile.mkdtemp(prefix="lum_enc_")

BITS = {"1bppIndexed": 1, "4bppIndexed": 4, "8bppIndexed": 8, "16bppGrayScale": 16,
        "24bppRGB": 24, "32bppRGB": 32, "32bppARGB": 32, "48bppRGB": 48, "64bppARGB": 64}
CCITT3, CCITT4, LZW, RLE, NONE = 3, 4, 2, 5, 6


def encode(raw, w, h, fmt, enc, *opts, name=None, expect=0):
    src = os.path.join(TMP, "in.raw")
    raw.tofile(src) if isinstance(raw, np.ndarray) else open(src, "wb").write(raw)
    out = os.path.join(TMP, name or f"out.{enc}")
    r = subprocess.run([TOOL, src, str(w), str(h), fmt, out, enc, *opts],
                       capture_output=True, text=True)
    assert f"status {expect}" in r.stdout, (r.stdout, r.stderr)
    return out


def palette_file(entries):
    path = os.path.join(TMP, "pal.raw")
    np.asarray(entries, dtype="<u4").tofile(path)
    return "palette=" + path


def pack_bits(idx, bits):
    """Index rows (h, w) packed most significant bit first, rows not padded."""
    h, w = idx.shape
    per = 8 // bits
    padded = np.zeros((h, (w + per - 1) // per * per), np.uint8)
    padded[:, :w] = idx
    out = np.zeros((h, padded.shape[1] // per), np.uint8)
    for k in range(per):
        out |= (padded[:, k::per] << (8 - bits * (k + 1))).astype(np.uint8)
    return out


def photo(w, h, seed=0):
    """Smooth gradients with some noise: photo-like RGB (h, w, 3)."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:h, 0:w].astype(np.float32)
    r = 128 + 100 * np.sin(x / 23.0) * np.cos(y / 31.0)
    g = 128 + 90 * np.sin((x + y) / 41.0)
    b = 255 * x / max(w - 1, 1)
    img = np.stack([r, g, b], -1) + rng.normal(0, 6, (h, w, 3))
    return np.clip(img, 0, 255).astype(np.uint8)


def tiffinfo(path):
    return subprocess.run(["tiffinfo", path], capture_output=True, text=True).stdout


# ---- lossless round trips -------------------------------------------------------------

def test_rgb24_lossless_everywhere():
    rgb = np.random.default_rng(1).integers(0, 256, (23, 37, 3), dtype=np.uint8)
    bgr = np.ascontiguousarray(rgb[:, :, ::-1])
    for enc, opts in [("bmp", ()), ("png", ()), ("tiff", ()), ("tiff", (f"compression={RLE}",)),
                      ("tiff", (f"compression={NONE}",)), ("png", ("stream=1",))]:
        im = Image.open(encode(bgr, 37, 23, "24bppRGB", enc, *opts))
        assert im.mode == "RGB", (enc, im.mode)
        assert (np.asarray(im) == rgb).all(), (enc, opts)


def test_argb32_keeps_alpha_in_png_and_tiff():
    rgba = np.random.default_rng(2).integers(0, 256, (9, 17, 4), dtype=np.uint8)
    bgra = np.ascontiguousarray(rgba[:, :, [2, 1, 0, 3]])
    for enc in ("png", "tiff"):
        im = Image.open(encode(bgra, 17, 9, "32bppARGB", enc))
        assert im.mode == "RGBA", im.mode
        assert (np.asarray(im) == rgba).all(), enc
    im = Image.open(encode(bgra, 17, 9, "32bppARGB", "bmp"))  # 32-bit BI_RGB
    assert (np.asarray(im.convert("RGB")) == rgba[:, :, :3]).all()
    assert im.info.get("compression", 0) == 0


def test_indexed_formats_keep_palette_and_indices():
    rng = np.random.default_rng(3)
    for fmt, bits in [("8bppIndexed", 8), ("4bppIndexed", 4), ("1bppIndexed", 1)]:
        n = 1 << bits
        pal = [0xFF000000 | int(v) for v in rng.integers(0, 1 << 24, n)]
        if bits == 1:
            pal = [0xFF000000, 0xFFFFFFFF]
        idx = rng.integers(0, n, (11, 21), dtype=np.uint8)
        raw = pack_bits(idx, bits) if bits < 8 else idx
        want = np.array([[(pal[i] >> 16) & 255, (pal[i] >> 8) & 255, pal[i] & 255]
                         for i in idx.ravel()], np.uint8).reshape(11, 21, 3)
        for enc in ("bmp", "png", "tiff", "gif"):
            im = Image.open(encode(raw, 21, 11, fmt, enc, palette_file(pal)))
            assert im.mode in ("P", "1", "L"), (fmt, enc, im.mode)
            assert (np.asarray(im.convert("RGB")) == want).all(), (fmt, enc)


def test_sixteen_bit_samples_in_png_and_tiff():
    rng = np.random.default_rng(4)
    gray = rng.integers(0, 65536, (7, 13), dtype=np.uint16)
    im = Image.open(encode(gray.astype("<u2"), 13, 7, "16bppGrayScale", "png"))
    assert im.mode in ("I;16", "I"), im.mode
    assert (np.asarray(im).astype(np.uint16) == gray).all()
    im = Image.open(encode(gray.astype("<u2"), 13, 7, "16bppGrayScale", "tiff"))
    assert (np.asarray(im).astype(np.uint16) == gray).all()
    rgb16 = rng.integers(0, 65536, (5, 6, 3), dtype=np.uint16)
    raw = np.ascontiguousarray(rgb16[:, :, ::-1]).astype("<u2")
    path = encode(raw, 6, 5, "48bppRGB", "png")
    # Pillow reduces 16-bit RGB to 8 bits; the file itself must say 16 bits.
    assert open(path, "rb").read()[24] == 16
    assert (np.asarray(Image.open(path)) == (rgb16 >> 8)).all()


def test_resolution_in_every_format():
    bgr = photo(16, 8)[:, :, ::-1].copy()
    for enc in ("bmp", "png", "tiff", "jpeg"):
        im = Image.open(encode(bgr, 16, 8, "24bppRGB", enc, "dpi=300,200"))
        dx, dy = im.info["dpi"]
        assert abs(dx - 300) < 0.5 and abs(dy - 200) < 0.5, (enc, im.info["dpi"])


# ---- TIFF compression, depth and pages ------------------------------------------------

def mono_raw(w, h):
    idx = (np.add.outer(np.arange(h), np.arange(w)) // 5 % 2).astype(np.uint8)
    return pack_bits(idx, 1), idx


def test_tiff_compressions_reported_by_tiffinfo():
    raw, idx = mono_raw(64, 40)
    bw = palette_file([0xFF000000, 0xFFFFFFFF])
    for value, text in [(LZW, "LZW"), (CCITT3, "CCITT Group 3"), (CCITT4, "CCITT Group 4"),
                        (RLE, "PackBits"), (NONE, "None")]:
        path = encode(raw, 64, 40, "1bppIndexed", "tiff", bw, f"compression={value}")
        info = tiffinfo(path)
        assert f"Compression Scheme: {text}" in info, (value, info)
        assert (np.asarray(Image.open(path).convert("L")) == idx * 255).all(), value


def test_ccitt_on_colour_falls_back_unless_reduced_to_one_bit():
    bgr = photo(40, 30)[:, :, ::-1].copy()
    path = encode(bgr, 40, 30, "24bppRGB", "tiff", f"compression={CCITT4}")
    info = tiffinfo(path)
    assert "LZW" in info and "Bits/Sample: 8" in info, info
    path = encode(bgr, 40, 30, "24bppRGB", "tiff", f"compression={CCITT3}", "depth=1")
    info = tiffinfo(path)
    assert "CCITT Group 3" in info and "Bits/Sample: 1" in info, info
    assert Image.open(path).mode == "1"


def test_colour_depth_eight_is_a_good_palette():
    rgb = photo(120, 80, seed=5)
    bgr = rgb[:, :, ::-1].copy()
    for enc in ("tiff", "bmp"):
        im = Image.open(encode(bgr, 120, 80, "24bppRGB", enc, "depth=8"))
        assert im.mode == "P", (enc, im.mode)
        err = np.asarray(im.convert("RGB")).astype(float) - rgb
        psnr = 10 * np.log10(255 ** 2 / (err ** 2).mean())
        assert psnr > 30, (enc, psnr)
    im = Image.open(encode(bgr, 120, 80, "24bppRGB", "tiff", "depth=4"))
    assert im.mode == "P" and len(im.getcolors(256)) <= 16
    im = Image.open(encode(bgr, 120, 80, "24bppRGB", "bmp", "depth=1"))
    assert im.mode in ("1", "P", "L") and len(im.getcolors(4)) <= 2


def test_multipage_tiff_pages_and_completion():
    raw, idx = mono_raw(48, 32)
    bw = palette_file([0xFF000000, 0xFFFFFFFF])
    for extra in ((), ("flush=1",), ("stream=1",)):
        path = encode(raw, 48, 32, "1bppIndexed", "tiff", bw, f"compression={CCITT4}", "pages=3",
                      *extra)
        info = tiffinfo(path)
        assert info.count("TIFF Directory at offset") == 3, (extra, info)
        assert info.count("CCITT Group 4") == 3
        im = Image.open(path)
        assert im.n_frames == 3
        im.seek(2)
        assert (np.asarray(im.convert("L")) == idx * 255).all()


def test_multipage_of_colour_pages_with_ccitt_is_readable():
    bgr = photo(20, 10)[:, :, ::-1].copy()
    path = encode(bgr, 20, 10, "24bppRGB", "tiff", f"compression={CCITT4}", "pages=2")
    info = tiffinfo(path)
    assert info.count("TIFF Directory at offset") == 2 and "CCITT" not in info, info


# ---- JPEG ------------------------------------------------------------------------------

LUMA = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57,
        69, 56, 14, 17, 22, 29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64,
        81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
ZIGZAG = [0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48, 41, 34,
          27, 20, 13, 6, 7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37,
          44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63]


def ijg_table(quality):
    scale = 5000 // quality if quality < 50 else 200 - 2 * quality
    return [min(max((q * scale + 50) // 100, 1), 255) for q in LUMA]


def test_jpeg_quality_from_quantisation_tables():
    bgr = photo(64, 48)[:, :, ::-1].copy()
    for opts, q in [((), 75), (("quality=30",), 30), (("quality=90",), 90),
                    (("quality=100",), 100), (("quality=1",), 1)]:
        im = Image.open(encode(bgr, 64, 48, "24bppRGB", "jpeg", *opts))
        table = list(im.quantization[0])
        want = ijg_table(q)
        assert table in (want, [want[z] for z in ZIGZAG]), (q, table[:8], want[:8])
        assert JpegImagePlugin.get_sampling(im) == 2, "4:2:0 expected"
        assert im.mode == "RGB"


def test_jpeg_of_grey_palette_is_greyscale():
    idx = np.tile(np.arange(64, dtype=np.uint8) * 4, (16, 1))
    grey = [0xFF000000 | v * 0x010101 for v in range(256)]
    im = Image.open(encode(idx, 64, 16, "8bppIndexed", "jpeg", palette_file(grey)))
    assert im.mode == "L"
    assert np.abs(np.asarray(im).astype(int) - idx).max() <= 4


# ---- GIF -------------------------------------------------------------------------------

def test_gif_transparency_from_palette_alpha():
    pal = [0xFFFF0000, 0x00000000, 0xFF0000FF]
    idx = np.array([[0, 1, 2, 1]] * 3, np.uint8)
    path = encode(idx, 4, 3, "8bppIndexed", "gif", palette_file(pal))
    im = Image.open(path)
    assert im.info.get("transparency") == 1, im.info
    assert (np.asarray(im) == idx).all()
    out = subprocess.run(["giftext", path], capture_output=True, text=True).stdout
    assert "Transparency on" in out or "transparency" in out.lower(), out


def test_gif_reduces_deep_images():
    few = np.zeros((10, 10, 3), np.uint8)
    few[:5] = (10, 200, 30)
    few[5:, 5:] = (250, 250, 5)
    im = Image.open(encode(few[:, :, ::-1].copy(), 10, 10, "24bppRGB", "gif"))
    assert (np.asarray(im.convert("RGB")) == few).all(), "few colours must be kept exactly"
    rgb = photo(160, 100, seed=7)
    im = Image.open(encode(rgb[:, :, ::-1].copy(), 160, 100, "24bppRGB", "gif"))
    assert im.mode == "P" and len(im.getcolors(256)) <= 256
    err = np.asarray(im.convert("RGB")).astype(float) - rgb
    psnr = 10 * np.log10(255 ** 2 / (err ** 2).mean())
    assert psnr > 30, psnr


def test_gif_alpha_pixels_become_transparent():
    bgra = np.zeros((4, 4, 4), np.uint8)
    bgra[..., 2] = 255
    bgra[..., 3] = 255
    bgra[0, 0, 3] = 0
    im = Image.open(encode(bgra, 4, 4, "32bppARGB", "gif"))
    t = im.info.get("transparency")
    assert t is not None and np.asarray(im)[0, 0] == t and np.asarray(im)[1, 1] != t


# ---- failures --------------------------------------------------------------------------

def test_failures_are_statuses():
    bgr = photo(8, 8)[:, :, ::-1].copy()
    encode(bgr, 8, 8, "24bppRGB", "png", name="no/such/dir/x.png", expect=7)
    encode(bgr, 8, 8, "24bppRGB", "{00000000-0000-0000-0000-000000000001}", expect=2)
    encode(bgr, 8, 8, "24bppRGB", "jpeg", "quality=101", expect=2)
    encode(bgr, 8, 8, "24bppRGB", "tiff", "compression=9", expect=2)
    encode(bgr, 8, 8, "24bppRGB", "bmp", "depth=7", expect=2)


def main():
    passed = failed = 0
    for name, fn in sorted(globals().items()):
        if name.startswith("test_") and callable(fn):
            try:
                fn()
                passed += 1
                print("ok  ", name)
            except Exception:
                failed += 1
                print("FAIL", name)
                traceback.print_exc()
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
