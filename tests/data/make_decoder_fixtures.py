#!/usr/bin/python3
"""Writes the small decoder fixtures of tests/data/ (run by hand; the files are committed).

  jpeg_exif_le.jpg    RGB JPEG, JFIF density unit 0, little-endian EXIF: IFD0, EXIF IFD,
                      GPS IFD, thumbnail IFD with a JPEG thumbnail
  jpeg_exif_be.jpg    the same EXIF in big-endian (Motorola) order
  jpeg_gray.jpg       8-bit grey, JFIF 72 dpi
  jpeg_cmyk.jpg       Adobe CMYK (inverted data)
  jpeg_progressive.jpg progressive 4:2:0, JFIF 118 dots per cm
  tiff_multipage.tif  5 pages: 1-bit G4 (min-is-white), 4-bit palette, RGB LZW, 16-bit grey,
                      CMYK; resolutions in inches and centimetres
  tiff_tiled.tif      RGB in 16x16 tiles (tiffcp), deflate
  tiff_ycbcr_jpeg.tif JPEG-compressed YCbCr page
  corrupt/*           damaged files, listed with their expected status in corrupt/README.txt
"""
import base64
import io
import os
import shutil
import struct
import subprocess
import tempfile
import zlib

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))


def photo(w, h, seed=1):
    y, x = np.mgrid[0:h, 0:w]
    img = np.stack([x * 255 // max(w - 1, 1), y * 255 // max(h - 1, 1), (x + y) * 4 % 256], -1)
    img = img + np.random.default_rng(seed).integers(-10, 10, img.shape)
    return np.clip(img, 0, 255).astype(np.uint8)


def ifd(entries, order, base, next_offset=0):
    """entries: (tag, type, count, value bytes); returns (ifd bytes, data area) laid out at base."""
    size = 2 + 12 * len(entries) + 4
    head = struct.pack(order + "H", len(entries))
    data = b""
    for tag, typ, count, value in sorted(entries):
        if len(value) <= 4:
            field = value.ljust(4, b"\0")
        else:
            field = struct.pack(order + "I", base + size + len(data))
            data += value + (b"\0" if len(value) % 2 else b"")
        head += struct.pack(order + "HHI", tag, typ, count) + field
    return head + struct.pack(order + "I", next_offset), data


def exif_block(order, thumbnail):
    o = order
    S = lambda *v: struct.pack(o + "H" * len(v), *v)
    L = lambda *v: struct.pack(o + "I" * len(v), *v)
    R = lambda *v: struct.pack(o + "I" * len(v), *v)
    SR = lambda *v: struct.pack(o + "i" * len(v), *v)
    # Offsets are computed in a first pass with placeholder pointers of the right size.
    def build(exif_at, gps_at, ifd1_at, thumb_at):
        ifd0 = [(0x010F, 2, 7, b"LumCam\0"), (0x0110, 2, 8, b"Model 9\0"), (0x0112, 3, 1, S(6)),
                (0x011A, 5, 1, R(300, 1)), (0x011B, 5, 1, R(300, 1)), (0x0128, 3, 1, S(2)),
                (0x8769, 4, 1, L(exif_at)), (0x8825, 4, 1, L(gps_at))]
        exif = [(0x829A, 5, 1, R(1, 125)), (0x8827, 3, 1, S(200)), (0x9204, 10, 1, SR(-1, 3)),
                (0x9286, 7, 12, b"ASCII\0\0\0hey!")]
        gps = [(0x0000, 1, 4, bytes([2, 2, 0, 0])), (0x0001, 2, 2, b"N\0"),
               (0x0002, 5, 3, R(52, 1, 30, 1, 0, 1))]
        ifd1 = [(0x0103, 3, 1, S(6)), (0x0201, 4, 1, L(thumb_at)), (0x0202, 4, 1, L(len(thumbnail)))]
        out = b"II*\0" if o == "<" else b"MM\0*"
        out += L(8)
        a, ad = ifd(ifd0, o, 8, ifd1_at)
        out += a + ad
        e_at = len(out)
        a, ad = ifd(exif, o, e_at)
        out += a + ad
        g_at = len(out)
        a, ad = ifd(gps, o, g_at)
        out += a + ad
        i1_at = len(out)
        a, ad = ifd(ifd1, o, i1_at)
        out += a + ad
        t_at = len(out)
        out += thumbnail
        return out, (e_at, g_at, i1_at, t_at)
    out, offs = build(0, 0, 0, 0)
    out, offs2 = build(*offs)
    assert offs == offs2
    return b"Exif\0\0" + out


def jpeg_with_app1(jpeg, app1):
    seg = b"\xff\xe1" + struct.pack(">H", len(app1) + 2) + app1
    # after SOI and the JFIF APP0
    app0_len = struct.unpack(">H", jpeg[4:6])[0]
    cut = 4 + app0_len
    return jpeg[:cut] + seg + jpeg[cut:]


def save_bytes(im, **kw):
    b = io.BytesIO()
    im.save(b, **kw)
    return b.getvalue()


def main():
    rgb = Image.fromarray(photo(24, 16))
    thumb = save_bytes(rgb.resize((8, 6)), format="JPEG", quality=50)
    base = save_bytes(rgb, format="JPEG", quality=70, dpi=(0, 0))
    # Pillow writes unit 1 with dpi=(0,0)? force unit 0 (aspect ratio only) in the JFIF header
    base = base[:13] + b"\0" + struct.pack(">HH", 1, 1) + base[18:]
    for order, name in (("<", "le"), (">", "be")):
        open(os.path.join(HERE, f"jpeg_exif_{name}.jpg"), "wb").write(
            jpeg_with_app1(base, exif_block(order, thumb)))
    grey = rgb.convert("L")
    grey.save(os.path.join(HERE, "jpeg_gray.jpg"), quality=70, dpi=(72, 72))
    rgb.convert("CMYK").save(os.path.join(HERE, "jpeg_cmyk.jpg"), quality=70)
    prog = save_bytes(rgb, format="JPEG", quality=70, progressive=True, subsampling=2)
    prog = prog[:13] + b"\2" + struct.pack(">HH", 118, 118) + prog[18:]
    open(os.path.join(HERE, "jpeg_progressive.jpg"), "wb").write(prog)

    big = photo(40, 30, 2)
    pages = [Image.fromarray(big).convert("1"),
             Image.fromarray(big).quantize(16),
             Image.fromarray(big),
             Image.fromarray((np.array(Image.fromarray(big).convert("L")).astype(np.uint16) * 257)),
             Image.fromarray(big).convert("CMYK")]
    tmp = tempfile.mkdtemp()
    names = []
    for i, (page, comp) in enumerate(zip(pages, ["group4", "packbits", "tiff_lzw", "raw", "tiff_lzw"])):
        p = os.path.join(tmp, f"p{i}.tif")
        kw = {"dpi": (300, 300)} if i != 2 else {}
        if i == 2:
            kw = {"resolution": 40.0, "resolution_unit": 3}
        if i == 1:
            kw["bits"] = 4  # ignored by Pillow's TIFF writer; tiffcp keeps 8 bits
        page.save(p, compression=comp, **kw)
        names.append(p)
    out = os.path.join(HERE, "tiff_multipage.tif")
    subprocess.run(["tiffcp", *names, out], check=True)
    p = os.path.join(tmp, "rgb.tif")
    Image.fromarray(photo(40, 30, 3)).save(p)
    subprocess.run(["tiffcp", "-t", "-w", "16", "-l", "16", "-c", "zip", p,
                    os.path.join(HERE, "tiff_tiled.tif")], check=True)
    Image.fromarray(photo(32, 16, 4)).save(os.path.join(HERE, "tiff_ycbcr_jpeg.tif"),
                                           compression="jpeg", quality=90)
    shutil.rmtree(tmp)


def png(w, h, depth, colour, raw, extra=b""):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    ihdr = struct.pack(">IIBBBBB", w, h, depth, colour, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra + chunk(b"IDAT", zlib.compress(raw)) +
            chunk(b"IEND", b""))


def bmp_header(w, h, bits, compression=0, clr_used=0, header=40, off=None, extra=b""):
    dib = struct.pack("<IiiHHIIiiII", header, w, h, 1, bits, compression, 0, 0, 0, clr_used, 0)
    off = off if off is not None else 14 + len(dib)
    return struct.pack("<2sIHHI", b"BM", 0, 0, 0, off) + dib + extra


def tiff_le(entries, next_ifd=0, data=b""):
    """One IFD at offset 8; entries (tag, type, count, 4-byte value)."""
    out = b"II*\0" + struct.pack("<I", 8) + struct.pack("<H", len(entries))
    for e in sorted(entries):
        out += struct.pack("<HHI", *e[:3]) + e[3]
    return out + struct.pack("<I", next_ifd) + data


def corrupt():
    """Damaged files: (name, expected status, what it breaks, bytes)."""
    d = os.path.join(HERE, "corrupt")
    os.makedirs(d, exist_ok=True)
    jpeg = open(os.path.join(HERE, "jpeg_gray.jpg"), "rb").read()
    sof = jpeg.index(b"\xff\xc0")
    L = lambda v: struct.pack("<I", v)
    S = lambda v: struct.pack("<HH", v, 0)
    tiff_page = [(256, 4, 1, L(4)), (257, 4, 1, L(4)), (258, 3, 1, S(8)), (259, 3, 1, S(1)),
                 (262, 3, 1, S(1)), (273, 4, 1, L(200)), (277, 3, 1, S(1)), (278, 4, 1, L(4)),
                 (279, 4, 1, L(16))]
    rgb = Image.fromarray(photo(16, 16))
    gif = save_bytes(rgb.quantize(16), format="GIF")
    ico_png = save_bytes(rgb, format="PNG")
    ico_dir = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, len(ico_png), 22)
    files = [
        ("bmp_header_size_zero.bmp", 1, "DIB header size 0",
         bmp_header(4, 4, 24, header=0) + b"\0" * 48),
        ("bmp_huge_dims.bmp", 3, "2^31-1 x 2^31-1 at 24 bits in a 58-byte file",
         bmp_header(0x7FFFFFFF, 0x7FFFFFFF, 24) + b"\0" * 4),
        ("bmp_rle8_cut.bmp", 0, "RLE8 stream ends in the middle of an absolute run",
         bmp_header(8, 4, 8, compression=1, clr_used=2, off=14 + 40 + 8) + b"\0" * 3 + b"\xff" * 5 +
         bytes([4, 1, 0, 6, 1, 1])),
        ("bmp_palette_past_end.bmp", 1, "biClrUsed 256 but the file ends after 2 entries",
         bmp_header(2, 2, 8, clr_used=256, off=2000) + b"\0" * 8),
        ("bmp_masks_missing.bmp", 1, "BI_BITFIELDS with a 40-byte header, file ends before the masks",
         bmp_header(2, 2, 16, compression=3)),
        ("png_idat_cut.png", 0, "IDAT cut in half (rows after the cut are filled)",
         png(32, 32, 8, 2, bytes(range(256)) * 12 + b"\0" * 3)[:120]),
        ("png_ihdr_crc.png", 1, "IHDR CRC wrong",
         (lambda b: b[:29] + bytes([b[29] ^ 0xFF]) + b[30:])(png(2, 2, 8, 0, b"\0" * 6))),
        ("png_huge.png", 3, "2^31-1 x 2^31-1 RGBA header with no data",
         png(0x7FFFFFFF, 0x7FFFFFFF, 8, 6, b"")),
        ("png_plte_missing.png", 1, "palette colour type without a PLTE chunk",
         png(2, 2, 8, 3, b"\0\0\0\0\0\0")),
        ("jpeg_scan_cut.jpg", 0, "entropy-coded data cut short (filled by libjpeg)",
         jpeg[: (jpeg.index(b"\xff\xda") + len(jpeg)) // 2]),
        ("jpeg_no_scan.jpg", 1, "frame header but the file ends before any scan", jpeg[: sof + 19]),
        ("jpeg_huge.jpg", 3, "SOF claims 65500 x 65500",
         jpeg[: sof + 5] + struct.pack(">HH", 65500, 65500) + jpeg[sof + 9:]),
        ("gif_no_frames.gif", 1, "screen descriptor, colour table and trailer, no image",
         gif[:13 + 3 * (2 << (gif[10] & 7))] + b";"),
        ("gif_huge_screen.gif", 3, "65535 x 65535 logical screen",
         gif[:6] + struct.pack("<HH", 65535, 65535) + gif[10:]),
        ("gif_lzw_cut.gif", 0, "LZW data of the only frame cut short", gif[: len(gif) - 40]),
        ("tiff_ifd_loop.tif", 0, "the first IFD's next pointer points at itself",
         tiff_le(tiff_page, 8, b"\0" * 120 + bytes(range(16)))),
        ("tiff_ifd_past_end.tif", 1, "first IFD offset beyond the end of the file",
         b"II*\0" + struct.pack("<I", 1 << 30) + b"\0" * 8),
        ("tiff_huge.tif", 3, "0xFFFFFF x 0xFFFFFF RGB page in a small file",
         tiff_le([(256, 4, 1, L(0xFFFFFF)), (257, 4, 1, L(0xFFFFFF)), (258, 3, 1, S(8)),
                  (259, 3, 1, S(1)), (262, 3, 1, S(1)), (273, 4, 1, L(8)), (277, 3, 1, S(1)),
                  (278, 4, 1, L(0xFFFFFF)), (279, 4, 1, L(4))])),
        ("tiff_strip_past_end.tif", 0, "strip offset beyond the end of the file (page filled)",
         tiff_le([e if e[0] != 273 else (273, 4, 1, L(1 << 28)) for e in tiff_page])),
        ("ico_entry_past_end.ico", 1, "the only entry's offset is beyond the end of the file",
         struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, 100, 1 << 20)),
        ("ico_png_cut.ico", 0, "PNG payload cut in its image data",
         ico_dir + ico_png[: len(ico_png) - 40]),
        # Found by fuzz_decode_ico: entry choice multiplied two 32-bit PNG sizes in 64 bits.
        ("ico_png_size_overflow.ico", 1, "PNG entry whose IHDR size is 0xFFFFFFFF squared",
         base64.b64decode(
             "AAABAAEACAYAAAAAIAAKAQAAFgAAAIlQTkcNChoKAAAA/////////////////////////////////////w1J"
             "SERSAAAACAAAAAYIBgAAAQABAAgIgAABAAQAqAAAABYAAAAoAAAGCAAAAAAAAAAAABAAAAAAAAAABAAA"
             "AAjvEAAQH2apK8+XQrsBwSMs2QEAAAACAAAABAAAAAgAAAD+Bd/7AAAA0QBJREFUeA==")),
    ]
    lines = ["# file | expected status | what it breaks (written by ../make_decoder_fixtures.py)"]
    for name, status, what, data in files:
        open(os.path.join(d, name), "wb").write(data)
        lines.append(f"{name} | {status} | {what}")
    open(os.path.join(d, "README.txt"), "w").write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
    corrupt()
