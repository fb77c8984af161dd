"""Makes the small fixtures of the image engine's tests (run with /usr/bin/python3)."""
from PIL import Image

# Three frames of 8 x 6 with delays of 100, 200 and 300 ms (10, 20 and 30 hundredths).
frames = [Image.new("P", (8, 6), i) for i in range(3)]
for f in frames:
    f.putpalette([0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255] + [0] * 756)
frames[0].save("anim3.gif", save_all=True, append_images=frames[1:], duration=[100, 200, 300],
               loop=0)
Image.new("RGB", (5, 4), (10, 20, 30)).save("small.jpg", quality=90)
