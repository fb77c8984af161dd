#!/usr/bin/python3
"""Writes the seed corpora of the own-codec fuzz targets (run by hand; the seeds are
committed): fuzz/seeds/pnm_reader/, pcx_reader/ and load_image_file/. Small files of every kind
the readers distinguish, with comments and every maxval kind, and damaged ones (each named for
what it breaks)."""
import io
import os
import struct

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
EXT = [".pgm", ".ppm", ".pbm", ".pnm", ".pcx", ".jpg", ".cur", ".png", ".tif", ".xy"]


def save(im, fmt, **kw):
    b = io.BytesIO()
    im.save(b, format=fmt, **kw)
    return b.getvalue()


def pnm_seeds(rgb):
    h, w, _ = rgb.shape
    grey = rgb[:, :, 1]
    bits = (rgb[:, :, 0] > 128).astype(np.uint8)
    s = {}
    s["p1.pbm"] = f"P1\n# plain\n{w} {h}\n".encode() + b"\n".join(
        b" ".join(str(v).encode() for v in row) for row in bits) + b"\n"
    s["p2_maxval15.pgm"] = f"P2\n{w} {h}\n15\n".encode() + b" ".join(
        str(v // 17).encode() for v in grey.flat) + b"\n"
    s["p3_maxval1023.ppm"] = f"P3 {w} {h} 1023\n".encode() + b" ".join(
        str(int(v) * 4).encode() for v in rgb.flat)
    s["p4.pbm"] = f"P4\n{w} {h}\n".encode() + np.packbits(bits, axis=1).tobytes()
    s["p5.pgm"] = f"P5\n# c 9\n{w} {h}\n255\n".encode() + grey.tobytes()
    s["p5_16bit.pgm"] = f"P5 {w} {h} 65535\n".encode() + (grey.astype(">u2") * 257).tobytes()
    s["p6.ppm"] = f"P6\n{w} {h}\n255\n".encode() + rgb.tobytes()
    s["p6_16bit.ppm"] = f"P6\n{w} {h}#c\n1000\n".encode() + (rgb.astype(">u2") * 3).tobytes()
    s["corrupt_header_cut.ppm"] = b"P6\n12 9\n25"
    s["corrupt_data_cut.ppm"] = s["p6.ppm"][:-40]
    s["corrupt_maxval_zero.pgm"] = b"P5 2 2 0\n\x01\x02\x03\x04"
    s["corrupt_huge.ppm"] = b"P6 65535 65535 255\n\x00\x00"
    s["corrupt_overflow.ppm"] = b"P6 4294967295 4294967295 255\n"
    s["corrupt_comment_to_end.pgm"] = b"P2 3 # nothing more"
    return s


def pcx(bits, planes, w, h, lines, palette16=b"", trailer=b"", rle=True, bpl=None, dpi=(300, 300)):
    bpl = bpl or ((w * bits + 7) // 8 + 1) // 2 * 2
    head = struct.pack("<BBBBhhhhhh", 10, 5, 1 if rle else 0, bits, 0, 0, w - 1, h - 1, *dpi)
    head += palette16.ljust(48, b"\0") + b"\0" + bytes([planes]) + struct.pack("<H", bpl)
    head = head.ljust(128, b"\0")
    data = bytearray()
    if rle:
        i = 0
        while i < len(lines):
            n = 1
            while i + n < len(lines) and lines[i + n] == lines[i] and n < 63:
                n += 1
            if n > 1 or lines[i] >= 0xC0:
                data.append(0xC0 + n)
            data.append(lines[i])
            i += n
    else:
        data = bytearray(lines)
    return head + bytes(data) + trailer


def pcx_seeds(rgb):
    h, w, _ = rgb.shape
    rng = np.random.default_rng(3)
    pal16 = bytes(rng.integers(0, 256, 48, dtype=np.uint8))
    s = {}
    s["pil_rgb.pcx"] = save(Image.fromarray(rgb), "PCX")
    s["pil_grey.pcx"] = save(Image.fromarray(rgb[:, :, 1]), "PCX")
    s["pil_bw.pcx"] = save(Image.fromarray(rgb[:, :, 0] > 128).convert("1"), "PCX")
    s["pil_palette.pcx"] = save(Image.fromarray(rgb).quantize(40), "PCX")
    nib = rng.integers(0, 256, 6 * h, dtype=np.uint8).tobytes()
    s["nibbles_4x1.pcx"] = pcx(4, 1, w, h, nib, pal16)
    planes = rng.integers(0, 256, 2 * 4 * h, dtype=np.uint8).tobytes()
    s["planar_1x4.pcx"] = pcx(1, 4, w, h, planes, pal16)
    s["raw_8x1.pcx"] = pcx(8, 1, w, h, rgb[:, :, 2].tobytes(), rle=False)
    s["odd_bpl_1x1.pcx"] = pcx(1, 1, w, h, bytes(3 * h), bpl=3)
    good = pcx(8, 1, w, h, rgb[:, :, 2].tobytes(), trailer=b"\x0c" + bytes(range(256)) * 3)
    s["trailing_palette.pcx"] = good
    s["corrupt_run_past_end.pcx"] = pcx(8, 1, 4, 1, b"") + b"\x01\x02\xc5\x09"
    s["corrupt_data_cut.pcx"] = good[:200]
    s["corrupt_bpl_short.pcx"] = pcx(8, 1, w, h, bytes(w * h), bpl=4)
    s["corrupt_kind_8x4.pcx"] = pcx(8, 4, w, h, bytes(4 * w * h))
    s["corrupt_huge.pcx"] = pcx(8, 3, 32000, 32000, b"\x00" * 10)
    s["corrupt_header_short.pcx"] = good[:90]
    return s


def write(folder, seeds):
    path = os.path.join(HERE, "seeds", folder)
    os.makedirs(path, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(path, name), "wb") as f:
            f.write(data)


def main():
    rng = np.random.default_rng(1)
    rgb = rng.integers(0, 256, (9, 12, 3), dtype=np.uint8)
    rgb[:, :6] = rgb[:, :1]  # runs for the RLE
    pnm, pcxs = pnm_seeds(rgb), pcx_seeds(rgb)
    write("pnm_reader", pnm)
    write("pcx_reader", pcxs)
    # The loader's seeds: the first byte picks the extension.
    load = {}
    for name, data in list(pnm.items())[:8]:
        load["pnm_" + name] = bytes([EXT.index(os.path.splitext(name)[1])]) + data
    for name, data in list(pcxs.items())[:6]:
        load["pcx_" + name] = bytes([EXT.index(".pcx")]) + data
    load["jpeg.jpg"] = bytes([EXT.index(".jpg")]) + save(Image.fromarray(rgb), "JPEG")
    load["png_as_pgm"] = bytes([EXT.index(".pgm")]) + save(Image.fromarray(rgb), "PNG")
    ico = save(Image.fromarray(rgb).resize((16, 16)), "ICO")
    load["cursor.cur"] = bytes([EXT.index(".cur")]) + ico[:2] + b"\x02" + ico[3:]
    load["text.xy"] = bytes([EXT.index(".xy")]) + b"not an image"
    write("load_image_file", load)


if __name__ == "__main__":
    main()
