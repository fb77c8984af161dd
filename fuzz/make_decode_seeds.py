#!/usr/bin/python3
"""Writes the seed corpora of the decoder fuzz targets, fuzz/seeds/decode_<fmt>/ (run by hand;
the seeds are committed). Small files of each variant the decoders distinguish, plus the
damaged files of tests/data/corrupt/ for their format."""
import io
import os
import shutil
import struct
import sys
import zlib

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "python"))
import test_decoders as td  # noqa: E402  (its BMP, RLE, ICO and PNG writers)


def save(im, fmt, **kw):
    b = io.BytesIO()
    im.save(b, format=fmt, **kw)
    return b.getvalue()


def main():
    w, h = 12, 9
    rgb = td.photo(w, h, 1)
    im = Image.fromarray(rgb)
    alpha = Image.fromarray(td.rng(2).integers(0, 256, (h, w)).astype(np.uint8))
    rgba = im.copy()
    rgba.putalpha(alpha)
    seeds = {f: {} for f in ("bmp", "png", "jpeg", "gif", "tiff", "ico")}
    tmp = os.path.join(HERE, "seeds", ".tmp")
    os.makedirs(tmp, exist_ok=True)

    def bmp_file(name, *args, **kw):
        p = os.path.join(tmp, name)
        td.bmp(p, *args, **kw)
        seeds["bmp"][name] = open(p, "rb").read()

    idx = td.rng(3).integers(0, 16, (h, w))
    pal = [(i * 16, 255 - i * 16, i * 8) for i in range(16)]
    bmp_file("b1.bmp", w, h, 1, td.pack_indices(idx % 2, 1), pal[:2])
    bmp_file("b4.bmp", w, h, 4, td.pack_indices(idx, 4), pal)
    bmp_file("b8core.bmp", w, h, 8, td.pack_indices(idx, 8), pal, header=12)
    bmp_file("rle8.bmp", w, h, 8, None, pal, compression=1, data=td.rle_encode(idx, False))
    bmp_file("rle4.bmp", w, h, 4, None, pal, compression=2, data=td.rle_encode(idx, True))
    bmp_file("b565.bmp", w, h, 16, [bytes(2 * w)] * h, compression=3, masks=(0xF800, 0x7E0, 0x1F))
    bmp_file("b32v5.bmp", w, h, 32, [bytes(range(4 * w))] * h, compression=3, header=124,
             masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000), top_down=True)
    seeds["bmp"]["b24.bmp"] = save(im, "BMP")

    seeds["png"]["grey.png"] = save(im.convert("L"), "PNG")
    seeds["png"]["pal_trns.png"] = save(im.quantize(8), "PNG", transparency=bytes([0, 128]))
    seeds["png"]["rgba.png"] = save(rgba, "PNG", dpi=(300, 300))
    seeds["png"]["bits2.png"] = save(im.convert("L").quantize(4), "PNG", bits=2)
    p = os.path.join(tmp, "i.png")
    td.png_interlaced(p, rgb)
    seeds["png"]["interlaced.png"] = open(p, "rb").read()

    seeds["jpeg"]["rgb.jpg"] = save(im, "JPEG", quality=60)
    seeds["jpeg"]["grey.jpg"] = save(im.convert("L"), "JPEG", quality=60)
    seeds["jpeg"]["cmyk.jpg"] = save(im.convert("CMYK"), "JPEG", quality=60)
    seeds["jpeg"]["progressive.jpg"] = save(im, "JPEG", quality=60, progressive=True)
    shutil.copy(os.path.join(ROOT, "tests", "data", "jpeg_exif_be.jpg"), tmp)
    seeds["jpeg"]["exif_be.jpg"] = open(os.path.join(tmp, "jpeg_exif_be.jpg"), "rb").read()

    q = im.quantize(8)
    seeds["gif"]["single.gif"] = save(q, "GIF", transparency=3)
    frames = [im.quantize(8), im.rotate(90).quantize(8), im.transpose(0).quantize(8)]
    seeds["gif"]["anim.gif"] = save(frames[0], "GIF", save_all=True, append_images=frames[1:],
                                    duration=[10, 20, 30], loop=2, disposal=[1, 2, 3])

    seeds["tiff"]["lzw.tif"] = save(im, "TIFF", compression="tiff_lzw", dpi=(200, 200))
    seeds["tiff"]["g4.tif"] = save(im.convert("1"), "TIFF", compression="group4")
    seeds["tiff"]["pal.tif"] = save(q, "TIFF", compression="packbits")
    seeds["tiff"]["multi.tif"] = save(im.convert("1"), "TIFF", save_all=True,
                                      append_images=[im.convert("L"), rgba, im.convert("CMYK")])

    seeds["ico"]["png.ico"] = save(rgba, "ICO", sizes=[(8, 8), (12, 12)])
    mask = td.pack_indices(np.eye(8, dtype=np.uint8), 1)
    dib = td.ico_dib(8, 8, 4, td.pack_indices(idx[:8, :8], 4), pal, mask)
    p = os.path.join(tmp, "d.ico")
    td.ico_file(p, [(8, 8, 4, dib)])
    seeds["ico"]["dib4.ico"] = open(p, "rb").read()

    corrupt = os.path.join(ROOT, "tests", "data", "corrupt")
    ext = {"bmp": "bmp", "png": "png", "jpg": "jpeg", "gif": "gif", "tif": "tiff", "ico": "ico"}
    for n in os.listdir(corrupt):
        fmt = ext.get(n.rsplit(".", 1)[-1])
        if fmt:
            seeds[fmt]["corrupt_" + n] = open(os.path.join(corrupt, n), "rb").read()
    shutil.rmtree(tmp)
    for fmt, files in seeds.items():
        d = os.path.join(HERE, "seeds", f"decode_{fmt}")
        os.makedirs(d, exist_ok=True)
        for name, data in files.items():
            open(os.path.join(d, name), "wb").write(data)


if __name__ == "__main__":
    main()
