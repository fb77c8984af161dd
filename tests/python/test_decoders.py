#!/usr/bin/python3
"""Decoders against Pillow.

Makes a varied set of BMP, PNG, JPEG, GIF, TIFF and ICO files (with Pillow, or by hand
where Pillow cannot write the variant), decodes each with <build>/bin/decode_dump, and
compares every frame with Pillow's decode of the same file, converted to RGBA.

Lossless formats must match bit for bit. JPEG: both sides link the same libjpeg-turbo with
its default (islow) IDCT and fancy upsampling, so they must match too; the tolerance used
is 0 for JPEG, stated here so that a change of the comparison is a visible decision.

Known differences in Pillow that the files avoid (and the C++ unit tests cover instead):
RLE delta escapes and odd-length RLE4 absolute runs (Pillow's reader mis-reads both),
GIF disposal 2/3 (Pillow restores to the background colour, we to transparent), 32-bit ICO
bitmaps whose alpha is all zero (Pillow makes them fully transparent, we use the AND mask).
Exit status is non-zero on any failure; the last line is "N passed, N failed".
"""
import json
import os
import struct
import subprocess
import sys
import tempfile
import zlib

import numpy as np
from PIL import Image

BUILD = os.environ.get("LUM_BUILD_DIR", os.path.join(os.getcwd(), "build"))
DUMP = os.path.join(BUILD, "bin", "decode_dump")
JPEG_TOLERANCE = 0

passed = 0
failed = []


def check(name, ok, detail=""):
    global passed
    if ok:
        passed += 1
    else:
        failed.append(name)
        print(f"FAIL {name}: {detail}")


def rng(seed):
    return np.random.default_rng(seed)


def photo(w, h, seed=1):
    """Photo-like RGB content: gradients, a few shapes and a little noise."""
    y, x = np.mgrid[0:h, 0:w]
    r = (x * 255 // max(w - 1, 1)).astype(np.int32)
    g = (y * 255 // max(h - 1, 1)).astype(np.int32)
    b = ((x + y) * 4 % 256).astype(np.int32)
    img = np.stack([r, g, b], axis=-1)
    img += rng(seed).integers(-12, 12, size=img.shape)
    cx, cy = w // 3, h // 2
    img[(x - cx) ** 2 + (y - cy) ** 2 < (min(w, h) // 4) ** 2] = [200, 40, 60]
    return np.clip(img, 0, 255).astype(np.uint8)


# ---- decoding through decode_dump ---------------------------------------------------
def dump(path, outdir):
    proc = subprocess.run([DUMP, path, outdir], capture_output=True, text=True, timeout=60)
    lines = [json.loads(l) for l in proc.stdout.splitlines() if l.startswith("{")]
    frames = []
    for info in lines:
        if info.get("status") != 0:
            return lines, []
        raw = open(os.path.join(outdir, info["file"]), "rb").read()
        frames.append(np.frombuffer(raw, np.uint8).reshape(info["height"], info["width"], 4))
    return lines, frames


def pil_rgba(im):
    if im.mode == "I;16" or im.mode == "I":
        a = np.array(im).astype(np.uint32) >> 8
        a = a.astype(np.uint8)
        return np.dstack([a, a, a, np.full_like(a, 255)])
    return np.array(im.convert("RGBA"))


def pil_frames(path):
    n = getattr(Image.open(path), "n_frames", 1)
    out = []
    for i in range(n):
        # A fresh file per TIFF page: Pillow 9.4 keeps the previous page's palette state
        # across seeks and fails on a palette page followed by a non-palette page.
        im = Image.open(path)
        if im.format == "TIFF":
            im.seek(i)
        else:
            for k in range(i + 1):
                im.seek(k)
        out.append(pil_rgba(im))
    return out


def compare(name, path, tmp, tol=0, expect=None, reference=None, clear_rgb=False):
    """clear_rgb: colour under alpha 0 is not compared (GIF frames composed onto a
    transparent screen have no colour there; Pillow keeps the palette's)."""
    outdir = tempfile.mkdtemp(dir=tmp)
    info, ours = dump(path, outdir)
    if not ours:
        check(name, False, f"decode failed: {info}")
        return info
    theirs = reference if reference is not None else pil_frames(path)
    if len(ours) != len(theirs):
        check(name, False, f"{len(ours)} frames, Pillow {len(theirs)}")
        return info
    for i, (a, b) in enumerate(zip(ours, theirs)):
        if a.shape != b.shape:
            check(f"{name}[{i}]", False, f"shape {a.shape} vs {b.shape}")
            continue
        diff = np.abs(a.astype(np.int32) - b.astype(np.int32))
        if clear_rgb:
            diff[(a[:, :, 3] == 0) & (b[:, :, 3] == 0)] = 0
        worst = int(diff.max()) if diff.size else 0
        where = np.argwhere(diff > tol)
        detail = f"max diff {worst}, first at {where[0].tolist() if len(where) else None}"
        if len(where):
            y, x = where[0][:2]
            detail += f" ours {a[y, x].tolist()} Pillow {b[y, x].tolist()}"
        check(f"{name}[{i}]" if len(ours) > 1 else name, worst <= tol, detail)
    for key, want in (expect or {}).items():
        got = info[0].get(key)
        ok = got is not None and abs(got - want) < 0.05 if isinstance(want, float) else got == want
        check(f"{name}.{key}", ok, f"{got!r} != {want!r}")
    return info


# ---- hand-made BMPs -----------------------------------------------------------------
def bmp(path, w, h, bits, rows, palette=(), compression=0, header=40, masks=None,
        top_down=False, ppm=(0, 0), data=None):
    """rows: raw row bytes, top row first (unpadded); data: already-encoded pixel data."""
    if data is None:
        stride = (w * bits + 31) // 32 * 4
        order = rows if top_down else rows[::-1]
        data = b"".join(r.ljust(stride, b"\0") for r in order)
    if header == 12:
        dib = struct.pack("<IHHHH", 12, w, h, 1, bits)
        pal = b"".join(struct.pack("<BBB", b, g, r) for r, g, b in palette)
    else:
        dib = struct.pack("<IiiHHIIiiII", header, w, -h if top_down else h, 1, bits,
                          compression, len(data), ppm[0], ppm[1], len(palette), 0)
        extra = b""
        if header >= 52 and masks:
            extra = struct.pack("<4I", *(list(masks) + [0] * (4 - len(masks))))
        dib += (extra + b"\0" * header)[: header - 40]
        if header == 40 and masks:
            dib += struct.pack(f"<{len(masks)}I", *masks)
        pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    off = 14 + len(dib) + len(pal)
    head = struct.pack("<2sIHHI", b"BM", off + len(data), 0, 0, off)
    open(path, "wb").write(head + dib + pal + data)


def pack_indices(idx, bits):
    """Rows of indices packed MSB first."""
    out = []
    per = 8 // bits
    for row in idx:
        b = bytearray((len(row) * bits + 7) // 8)
        for x, v in enumerate(row):
            b[x // per] |= int(v) << (8 - bits * (x % per + 1))
        out.append(bytes(b))
    return out


def rle_encode(idx, four):
    """RLE8/RLE4 with runs and even-length absolute runs (the subset Pillow reads right)."""
    out = bytearray()
    for row in idx[::-1]:
        x, w = 0, len(row)
        while x < w:
            run = 1
            while x + run < w and run < 254 and row[x + run] == row[x]:
                run += 1
            if run >= 3 or w - x < 4:
                n = run if run >= 3 else 1
                v = int(row[x])
                out += bytes([n, (v << 4 | v) if four else v])
                x += n
                continue
            n = 4
            while x + n + 2 <= w and n < 250 and row[x + n] != row[x + n - 1]:
                n += 2
            lit = [int(v) for v in row[x:x + n]]
            if four:
                body = bytes((lit[i] << 4) | lit[i + 1] for i in range(0, n, 2))
            else:
                body = bytes(lit)
            out += bytes([0, n]) + body + (b"\0" if len(body) % 2 else b"")
            x += n
        out += b"\0\0"
    return bytes(out + b"\0\1")


def bmp_cases(tmp):
    w, h = 37, 19
    r = rng(7)
    pal16 = [tuple(int(c) for c in r.integers(0, 256, 3)) for _ in range(16)]
    pal256 = [tuple(int(c) for c in r.integers(0, 256, 3)) for _ in range(256)]
    for bits, pal in ((1, pal16[:2]), (4, pal16), (8, pal256)):
        idx = r.integers(0, len(pal), (h, w))
        p = os.path.join(tmp, f"b{bits}.bmp")
        bmp(p, w, h, bits, pack_indices(idx, bits), pal, ppm=(2835, 2835))
        compare(f"bmp {bits}-bit", p, tmp, expect={"format_name": f"{bits}bppIndexed",
                                                    "dpi_x": 72.009})
    idx = r.integers(0, 5, (h, w))
    p = os.path.join(tmp, "b8short.bmp")
    bmp(p, w, h, 8, pack_indices(idx, 8), pal256[:5])
    compare("bmp 8-bit short palette", p, tmp, expect={"palette_size": 5})
    p = os.path.join(tmp, "core.bmp")
    bmp(p, w, h, 8, pack_indices(idx, 8), pal256, header=12)
    compare("bmp core header", p, tmp)
    # Runs of equal pixels so that RLE has something to do.
    runs = np.repeat(r.integers(0, 16, (h, 8)), 5, axis=1)[:, :w]
    runs[:, 10:18] = r.integers(0, 16, (h, 8))
    for four in (False, True):
        p = os.path.join(tmp, f"rle{4 if four else 8}.bmp")
        bmp(p, w, h, 4 if four else 8, None, pal16, compression=2 if four else 1,
            data=rle_encode(runs, four))
        compare(f"bmp RLE{4 if four else 8}", p, tmp,
                expect={"format_name": "4bppIndexed" if four else "8bppIndexed"})
    rgb = photo(w, h)
    for name, bits, rows, kw in (
        ("24-bit", 24, [row[:, ::-1].tobytes() for row in rgb], {}),
        ("24-bit top-down", 24, [row[:, ::-1].tobytes() for row in rgb], {"top_down": True}),
        ("16-bit 555", 16, [((row[:, 0] >> 3).astype(np.uint16) << 10 |
                             (row[:, 1] >> 3).astype(np.uint16) << 5 |
                             (row[:, 2] >> 3)).astype("<u2").tobytes() for row in rgb], {}),
        ("16-bit 565 fields", 16, [((row[:, 0] >> 3).astype(np.uint16) << 11 |
                                    (row[:, 1] >> 2).astype(np.uint16) << 5 |
                                    (row[:, 2] >> 3)).astype("<u2").tobytes() for row in rgb],
         {"compression": 3, "masks": (0xF800, 0x7E0, 0x1F)}),
        ("32-bit BGRX", 32, [np.concatenate([row[:, ::-1], np.full((w, 1), 7, np.uint8)],
                                            axis=1).tobytes() for row in rgb], {}),
        ("32-bit V5 BGRA fields", 32,
         [np.concatenate([row[:, ::-1], r.integers(0, 256, (w, 1)).astype(np.uint8)],
                         axis=1).tobytes() for row in rgb], {"compression": 3, "header": 124,
                            "masks": (0xFF0000, 0xFF00, 0xFF, 0xFF000000)}),
    ):
        p = os.path.join(tmp, f"b{name.replace(' ', '_')}.bmp")
        bmp(p, w, h, bits, rows, **kw)
        ref = None
        if bits == 16:  # Pillow widens 5/6-bit channels as v * 255 / max; we replicate bits
            ours_expand = lambda v, n: (v << (8 - n)) | (v >> (2 * n - 8))
            data = np.array([np.frombuffer(row, "<u2") for row in rows]).astype(np.uint32)
            if "masks" in kw:
                cr, cg, cb = data >> 11, (data >> 5) & 63, data & 31
                ref = [np.dstack([ours_expand(cr, 5), ours_expand(cg, 6), ours_expand(cb, 5),
                                  np.full_like(cr, 255)]).astype(np.uint8)]
            else:
                cr, cg, cb = (data >> 10) & 31, (data >> 5) & 31, data & 31
                ref = [np.dstack([ours_expand(cr, 5), ours_expand(cg, 5), ours_expand(cb, 5),
                                  np.full_like(cr, 255)]).astype(np.uint8)]
            # and Pillow within rounding of our expansion
            check(f"bmp {name} vs Pillow", np.abs(pil_frames(p)[0].astype(int) -
                                                  ref[0].astype(int)).max() <= 4)
        compare(f"bmp {name}", p, tmp, reference=ref)
    for mode in ("1", "L", "P", "RGB", "RGBA"):
        im = Image.fromarray(rgb).convert(mode) if mode != "RGBA" else Image.fromarray(
            np.dstack([rgb, r.integers(0, 256, (h, w)).astype(np.uint8)]), "RGBA")
        p = os.path.join(tmp, f"pil_{mode}.bmp")
        im.save(p, dpi=(150, 150))
        compare(f"bmp Pillow {mode}", p, tmp)


# ---- PNG ----------------------------------------------------------------------------
def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_interlaced(path, rgb):
    """An Adam7-interlaced 8-bit RGB PNG (Pillow does not write interlaced files)."""
    h, w, _ = rgb.shape
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4),
              (1, 0, 2, 2), (0, 1, 1, 2)]
    raw = bytearray()
    for x0, y0, dx, dy in passes:
        sub = rgb[y0::dy, x0::dx]
        if sub.size == 0:
            continue
        for row in sub:
            raw += b"\0" + row.tobytes()
    ihdr = struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 1)
    open(path, "wb").write(b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) +
                           png_chunk(b"IDAT", zlib.compress(bytes(raw))) + png_chunk(b"IEND", b""))


def png_cases(tmp):
    w, h = 41, 27
    rgb = photo(w, h, 3)
    r = rng(11)
    alpha = r.integers(0, 256, (h, w)).astype(np.uint8)
    grey = Image.fromarray(rgb).convert("L")
    cases = {
        "gray": (grey, "8bppIndexed"),
        "gray 1-bit": (grey.convert("1"), "1bppIndexed"),
        "gray+alpha": (Image.merge("LA", (grey, Image.fromarray(alpha))), "32bppARGB"),
        "palette": (Image.fromarray(rgb).quantize(200), "8bppIndexed"),
        "palette 16": (Image.fromarray(rgb).quantize(16), "4bppIndexed"),
        "RGB": (Image.fromarray(rgb), "24bppRGB"),
        "RGBA": (Image.fromarray(np.dstack([rgb, alpha]), "RGBA"), "32bppARGB"),
    }
    for name, (im, fmt) in cases.items():
        p = os.path.join(tmp, f"p_{name.replace(' ', '_')}.png")
        kw = {"bits": 4} if name == "palette 16" else {}
        im.save(p, dpi=(150, 150), **kw)
        compare(f"png {name}", p, tmp, expect={"format_name": fmt, "dpi_x": 150.0})
    p = os.path.join(tmp, "p_trns_palette.png")
    im = Image.fromarray(rgb).quantize(64)
    im.save(p, transparency=bytes(range(0, 256, 4)))
    compare("png palette tRNS", p, tmp, expect={"format_name": "8bppIndexed"})
    p = os.path.join(tmp, "p_trns_rgb.png")
    Image.fromarray(rgb).save(p, transparency=tuple(int(c) for c in rgb[3, 3]))
    compare("png RGB tRNS", p, tmp, expect={"format_name": "32bppARGB"})
    p = os.path.join(tmp, "p_trns_gray.png")
    grey.save(p, transparency=int(np.array(grey)[2, 2]))
    compare("png gray tRNS", p, tmp, expect={"format_name": "32bppARGB"})
    p = os.path.join(tmp, "p_gray2.png")
    grey.quantize(4).save(p, bits=2)
    compare("png palette 2-bit", p, tmp, expect={"format_name": "4bppIndexed"})
    wide = (rgb.astype(np.uint16) * 257 + r.integers(0, 200, rgb.shape)).astype(">u2")
    p = os.path.join(tmp, "p_rgb16.png")
    raw = b"".join(b"\0" + row.tobytes() for row in wide)
    ihdr = struct.pack(">IIBBBBB", w, h, 16, 2, 0, 0, 0)
    open(p, "wb").write(b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) +
                        png_chunk(b"IDAT", zlib.compress(raw)) + png_chunk(b"IEND", b""))
    compare("png RGB 16-bit", p, tmp, expect={"format_name": "48bppRGB"})
    p = os.path.join(tmp, "p_gray16.png")
    Image.fromarray((np.array(grey).astype(np.uint16) * 257 + 3).astype(np.uint16)).save(p)
    compare("png gray 16-bit", p, tmp, expect={"format_name": "48bppRGB"})
    p = os.path.join(tmp, "p_rgba16.png")
    wa = np.dstack([wide.astype(np.uint16), (alpha.astype(np.uint16) * 257)]).astype(">u2")
    raw = b"".join(b"\0" + row.tobytes() for row in wa)
    ihdr = struct.pack(">IIBBBBB", w, h, 16, 6, 0, 0, 0)
    open(p, "wb").write(b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) +
                        png_chunk(b"IDAT", zlib.compress(raw)) + png_chunk(b"IEND", b""))
    compare("png RGBA 16-bit", p, tmp, expect={"format_name": "64bppARGB"})
    p = os.path.join(tmp, "p_interlaced.png")
    png_interlaced(p, rgb)
    compare("png interlaced", p, tmp)


# ---- JPEG ---------------------------------------------------------------------------
def jpeg_cases(tmp):
    rgb = photo(67, 45, 5)
    im = Image.fromarray(rgb)
    for q in (30, 75, 95):
        p = os.path.join(tmp, f"j{q}.jpg")
        im.save(p, quality=q, dpi=(200, 200))
        compare(f"jpeg RGB q{q}", p, tmp, tol=JPEG_TOLERANCE,
                expect={"format_name": "24bppRGB", "dpi_x": 200.0})
    for sub in (0, 1, 2):
        p = os.path.join(tmp, f"js{sub}.jpg")
        im.save(p, quality=80, subsampling=sub, progressive=sub == 1)
        compare(f"jpeg subsampling {sub}", p, tmp, tol=JPEG_TOLERANCE)
    p = os.path.join(tmp, "jgray.jpg")
    im.convert("L").save(p, quality=85)
    compare("jpeg gray", p, tmp, tol=JPEG_TOLERANCE, expect={"format_name": "8bppIndexed"})
    for q in (50, 90):
        p = os.path.join(tmp, f"jcmyk{q}.jpg")
        im.convert("CMYK").save(p, quality=q)
        compare(f"jpeg CMYK q{q}", p, tmp, tol=JPEG_TOLERANCE,
                expect={"format_name": "24bppRGB"})
    exif = Image.Exif()
    exif[0x010F] = "LumCam"
    exif[0x0110] = "Model 9"
    exif[0x0132] = "2024:01:02 03:04:05"
    exif[0x011A] = 300.0
    exif[0x011B] = 300.0
    exif[0x0128] = 2
    p = os.path.join(tmp, "jexif.jpg")
    im.save(p, exif=exif.tobytes())
    info = compare("jpeg EXIF", p, tmp, tol=JPEG_TOLERANCE, expect={"dpi_x": 300.0})
    ids = set(info[0].get("property_ids", [])) if info else set()
    check("jpeg EXIF ids", {0x010F, 0x0110, 0x0132, 0x011A, 0x5090, 0x5091} <= ids, sorted(ids))


# ---- GIF ----------------------------------------------------------------------------
def gif_cases(tmp):
    w, h = 33, 21
    rgb = photo(w, h, 9)
    p = os.path.join(tmp, "g1.gif")
    Image.fromarray(rgb).quantize(64).save(p, transparency=5)
    compare("gif single transparent", p, tmp, expect={"format_name": "8bppIndexed",
                                                      "frames": 1})
    frames = []
    for i in range(4):
        a = photo(w, h, 20 + i)
        if i:  # later frames change only a band, so Pillow writes partial frames
            b = frames[-1].copy()
            b[5 + i: 12 + i, 3 * i: 3 * i + 15] = a[5 + i: 12 + i, 3 * i: 3 * i + 15]
            a = b
        frames.append(a)
    ims = [Image.fromarray(f).quantize(32, dither=Image.Dither.NONE) for f in frames]
    p = os.path.join(tmp, "ganim.gif")
    ims[0].save(p, save_all=True, append_images=ims[1:], duration=[10, 20, 30, 40], loop=0,
                disposal=1)
    info = compare("gif animation", p, tmp, expect={"format_name": "32bppARGB",
                                                    "dimension": "time", "frames": 4})
    if info:
        check("gif delays", info[0].get("delays") == [1, 2, 3, 4], info[0].get("delays"))
        check("gif loop count", info[0].get("loop_count") == 0, info[0].get("loop_count"))
    # Transparency in the first and later frames.
    ims = []
    for i in range(3):
        im = Image.fromarray(photo(w, h, 40 + i)).quantize(16, dither=Image.Dither.NONE)
        px = np.array(im)
        px[i * 4: i * 4 + 5, :] = 15
        im2 = Image.fromarray(px, "P")
        im2.putpalette(im.getpalette())
        ims.append(im2)
    p = os.path.join(tmp, "gtrans.gif")
    ims[0].save(p, save_all=True, append_images=ims[1:], duration=50, transparency=15,
                disposal=1, optimize=False)
    compare("gif animation transparent", p, tmp, clear_rgb=True)


# ---- TIFF ---------------------------------------------------------------------------
def tiff_cases(tmp):
    w, h = 45, 31
    rgb = photo(w, h, 13)
    im = Image.fromarray(rgb)
    for comp in ("raw", "tiff_lzw", "packbits", "tiff_deflate"):
        p = os.path.join(tmp, f"t_{comp}.tif")
        im.save(p, compression=comp, dpi=(300, 300))
        compare(f"tiff RGB {comp}", p, tmp, expect={"format_name": "24bppRGB", "dpi_x": 300.0})
    bw = im.convert("1")
    for comp in ("group3", "group4", "raw", "packbits"):
        p = os.path.join(tmp, f"t_bw_{comp}.tif")
        bw.save(p, compression=comp)
        compare(f"tiff bilevel {comp}", p, tmp, expect={"format_name": "1bppIndexed"})
    for mode, fmt in (("L", "8bppIndexed"), ("P", "8bppIndexed"), ("RGBA", "32bppARGB"),
                      ("CMYK", "24bppRGB"), ("LA", "32bppARGB")):
        p = os.path.join(tmp, f"t_{mode}.tif")
        src = im if mode != "RGBA" else Image.fromarray(
            np.dstack([rgb, rng(3).integers(0, 256, (h, w)).astype(np.uint8)]), "RGBA")
        (src.convert(mode) if mode not in ("RGBA",) else src).save(p, compression="tiff_lzw")
        compare(f"tiff {mode}", p, tmp, expect={"format_name": fmt})
    p = os.path.join(tmp, "t_jpeg.tif")
    im.save(p, compression="jpeg", quality=90)
    compare("tiff JPEG", p, tmp, tol=JPEG_TOLERANCE)
    p = os.path.join(tmp, "t_multi.tif")
    pages = [bw, im.convert("P"), im, im.convert("L").resize((20, 50)), im.convert("CMYK")]
    pages[0].save(p, save_all=True, append_images=pages[1:], compression="tiff_lzw")
    info = compare("tiff multipage", p, tmp, expect={"frames": 5, "dimension": "page"})
    if info and len(info) == 5:
        got = [i["format_name"] for i in info]
        check("tiff multipage formats", got == ["1bppIndexed", "8bppIndexed", "24bppRGB",
                                                 "8bppIndexed", "24bppRGB"], got)
        check("tiff multipage sizes", (info[3]["width"], info[3]["height"]) == (20, 50))


# ---- ICO ----------------------------------------------------------------------------
def ico_dib(w, h, bits, rows_bgr_or_idx, palette, mask_rows):
    stride = (w * bits + 31) // 32 * 4
    mstride = (w + 31) // 32 * 4
    dib = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bits, 0, 0, 0, 0, len(palette), 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    xor = b"".join(r.ljust(stride, b"\0") for r in rows_bgr_or_idx[::-1])
    andm = b"".join(r.ljust(mstride, b"\0") for r in mask_rows[::-1])
    return dib + pal + xor + andm


def ico_file(path, entries):
    """entries: (w, h, bits, payload bytes)."""
    head = struct.pack("<HHH", 0, 1, len(entries))
    off = 6 + 16 * len(entries)
    dirs, blobs = b"", b""
    for w, h, bits, payload in entries:
        dirs += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, bits, len(payload),
                            off + len(blobs))
        blobs += payload
    open(path, "wb").write(head + dirs + blobs)


def ico_cases(tmp):
    rgb = photo(32, 32, 17)
    p = os.path.join(tmp, "i_pil.ico")
    Image.fromarray(np.dstack([rgb, rng(2).integers(0, 256, (32, 32)).astype(np.uint8)]),
                    "RGBA").save(p, sizes=[(16, 16), (32, 32)])
    compare("ico PNG entries", p, tmp, expect={"format_name": "32bppARGB", "width": 32})
    r = rng(19)
    mask = np.zeros((16, 16), np.uint8)
    mask[4:9, 2:12] = 1
    mask_rows = pack_indices(mask, 1)
    pal = [tuple(int(c) for c in r.integers(0, 256, 3)) for _ in range(16)]
    idx = r.integers(0, 16, (16, 16))
    small = ico_dib(16, 16, 4, pack_indices(idx, 4), pal, mask_rows)
    bgra = np.dstack([photo(24, 24, 4)[:, :, ::-1], r.integers(1, 256, (24, 24))]).astype(np.uint8)
    big = ico_dib(24, 24, 32, [row.tobytes() for row in bgra], [],
                  pack_indices(np.zeros((24, 24), np.uint8), 1))
    p = os.path.join(tmp, "i_bmp4.ico")
    ico_file(p, [(16, 16, 4, small)])
    compare("ico 4-bit with AND mask", p, tmp, expect={"format_name": "32bppARGB"})
    p = os.path.join(tmp, "i_bmp32.ico")
    ico_file(p, [(16, 16, 4, small), (24, 24, 32, big)])
    compare("ico largest 32-bit entry", p, tmp, expect={"width": 24})


# ---- damaged files must give a status, never a crash ----------------------------------
def corrupt_cases(tmp):
    """tests/data/corrupt/README.txt: "file | expected status | what it breaks"."""
    src = os.path.join(os.environ.get("LUM_SOURCE_DIR", "."), "tests", "data", "corrupt")
    for line in open(os.path.join(src, "README.txt")):
        if not line.strip() or line.startswith("#"):
            continue
        name, status, _ = [f.strip() for f in line.split("|", 2)]
        outdir = tempfile.mkdtemp(dir=tmp)
        proc = subprocess.run([DUMP, os.path.join(src, name), outdir], capture_output=True,
                              text=True, timeout=60)
        first = proc.stdout.splitlines()[0] if proc.stdout else "{}"
        got = json.loads(first).get("status")
        check(f"corrupt {name}", proc.returncode in (0, 1) and got == int(status),
              f"exit {proc.returncode}, status {got}, want {status}")


def main():
    if not os.path.exists(DUMP):
        print(f"decode_dump not found at {DUMP}")
        print("0 passed, 1 failed")
        return 1
    with tempfile.TemporaryDirectory() as tmp:
        for group in (bmp_cases, png_cases, jpeg_cases, gif_cases, tiff_cases, ico_cases,
                      corrupt_cases):
            try:
                group(tmp)
            except Exception as e:  # a broken case generator is a failure, not a crash
                check(group.__name__, False, repr(e))
    print(f"{passed} passed, {len(failed)} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
