#!/usr/bin/python3
"""Draws Korvella's skin: every bitmap and icon that korvella.rc names, written beside this file.

Run with Debian's python3-pil and fonts-liberation: /usr/bin/python3 res/make_art.py
The output is committed, so the Windows build needs no Python.
"""
import math
import os
import struct

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONT_DIR = "/usr/share/fonts/truetype/liberation"
SS = 4  # supersampling factor for lines and text

# Child windows of the main window's client area: the background carries a recessed
# frame around each of these rectangles (left, top, width, height).
LAYOUT = [
    (160, 7, 192, 32),  # title plate
    (20, 45, 465, 30),  # mesh-name strip
    (20, 80, 256, 256),  # statistics panel
    (295, 81, 192, 32),  # Smooth Seams
    (295, 118, 192, 32),  # Compact Normals
    (295, 155, 192, 32),  # Quads to Triangles
    (295, 192, 192, 32),  # Scale Vertices
    (20, 340, 118, 32),  # Import
    (20, 377, 118, 32),  # Export
    (20, 445, 472, 56),  # progress strip and bars
]

# Button faces: (caption, width, normal id, pressed id, disabled id).
BUTTONS = [
    ("Korvella v1.0", 192, 143, 160, 177),
    ("Import", 118, 136, 153, 170),
    ("Export", 118, 137, 154, 171),
    ("Smooth Seams", 192, 138, 155, 172),
    ("Compact Normals", 192, 139, 156, 173),
    ("Quads to Triangles", 192, 140, 157, 174),
    ("Scale Vertices", 192, 142, 159, 176),
]

CAPTION_NORMAL = (151, 147, 135)
CAPTION_DISABLED = (85, 80, 70)
FILL_STRIPES = [(175, 147, 35), (201, 170, 38), (218, 185, 40), (235, 200, 42),
                (253, 216, 45), (223, 185, 34), (193, 153, 22), (134, 91, 0)]


def save_bmp(image, resource_id):
    assert image.mode == "RGB"
    image.save(os.path.join(HERE, "bmp%d.bmp" % resource_id), "BMP")


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def vertical_gradient(width, height, top, bottom):
    image = Image.new("RGB", (width, height))
    draw = ImageDraw.Draw(image)
    for y in range(height):
        draw.line([(0, y), (width - 1, y)], fill=mix(top, bottom, y / max(1, height - 1)))
    return image


def add_grain(image, amount, draw):
    # A fixed pseudo-random grain, so regenerating gives the same bytes.
    pixels = image.load()
    state = draw
    for y in range(image.height):
        for x in range(image.width):
            state = (state * 1103515245 + 12345) & 0x7FFFFFFF
            d = (state >> 16) % (2 * amount + 1) - amount
            r, g, b = pixels[x, y]
            pixels[x, y] = (max(0, r + d), max(0, g + d), max(0, b + d))


def recessed_frame(draw, left, top, width, height):
    # Two rings outside the rectangle: shadow on top and left, light on bottom and right.
    right, bottom = left + width - 1, top + height - 1
    rings = [((14, 14, 11), (104, 100, 86)), ((26, 25, 21), (78, 75, 64))]
    for depth, (dark, light) in enumerate(rings, start=1):
        l, t, r, b = left - depth, top - depth, right + depth, bottom + depth
        draw.line([(l, t), (r, t)], fill=dark)
        draw.line([(l, t), (l, b)], fill=dark)
        draw.line([(l + 1, b), (r, b)], fill=light)
        draw.line([(r, t + 1), (r, b)], fill=light)


def sphere_wireframe(size, color, width):
    # A dim lattice sphere, tilted, drawn supersampled: the tool's subject, a mesh.
    big = Image.new("L", (size * SS, size * SS), 0)
    draw = ImageDraw.Draw(big)
    radius = size * SS * 0.46
    centre = size * SS / 2
    tilt = math.radians(24)

    def project(lat, lon):
        x = math.cos(lat) * math.cos(lon)
        y = math.sin(lat)
        z = math.cos(lat) * math.sin(lon)
        y, z = y * math.cos(tilt) - z * math.sin(tilt), y * math.sin(tilt) + z * math.cos(tilt)
        return (centre + x * radius, centre - y * radius), z

    def segment(a, b):
        (pa, za), (pb, zb) = project(*a), project(*b)
        shade = 255 if za + zb <= 0 else 110  # back lines fainter
        draw.line([pa, pb], fill=shade, width=width * SS)

    steps = 48
    for i in range(1, 8):
        lat = -math.pi / 2 + i * math.pi / 8
        for k in range(steps):
            segment((lat, 2 * math.pi * k / steps), (lat, 2 * math.pi * (k + 1) / steps))
    for j in range(12):
        lon = j * math.pi / 6
        for k in range(steps):
            segment((-math.pi / 2 + math.pi * k / steps, lon),
                    (-math.pi / 2 + math.pi * (k + 1) / steps, lon))
    mask = big.resize((size, size), Image.LANCZOS)
    layer = Image.new("RGB", (size, size), color)
    return layer, mask


def background():
    image = vertical_gradient(512, 512, (30, 30, 25), (62, 60, 49))
    add_grain(image, 2, 129)
    # The decorative sphere sits in the free area right of the left buttons.
    layer, mask = sphere_wireframe(170, (88, 84, 66), 1)
    mask = mask.point(lambda v: v * 70 // 255)
    image.paste(layer, (316, 250), mask)
    draw = ImageDraw.Draw(image)
    # A fine engraved rule above the progress well.
    draw.line([(12, 436), (499, 436)], fill=(28, 27, 23))
    draw.line([(12, 437), (499, 437)], fill=(84, 80, 67))
    for rect in LAYOUT:
        recessed_frame(draw, *rect)
    # The empty progress well is darker than the plate around it.
    l, t, w, h = LAYOUT[-1]
    draw.rectangle([l, t, l + w - 1, t + h - 1], fill=(24, 24, 20))
    save_bmp(image, 129)


def statistics_panel():
    image = vertical_gradient(256, 256, (33, 33, 28), (25, 25, 21))
    draw = ImageDraw.Draw(image)
    # A faint drafting grid behind the figures, and a rule between counts and bounds.
    for v in range(8, 256, 16):
        draw.line([(v, 0), (v, 255)], fill=(37, 37, 31))
        draw.line([(0, v), (255, v)], fill=(37, 37, 31))
    draw.line([(14, 170), (241, 170)], fill=(58, 55, 45))
    add_grain(image, 1, 132)
    save_bmp(image, 132)


def mesh_name_strip():
    image = vertical_gradient(465, 30, (34, 34, 29), (24, 24, 20))
    add_grain(image, 1, 187)
    save_bmp(image, 187)


def button_face(caption, width, pressed, disabled):
    height = 32
    top, bottom = ((52, 47, 41), (66, 60, 52)) if pressed else ((74, 68, 59), (50, 45, 39))
    image = vertical_gradient(width, height, top, bottom)
    draw = ImageDraw.Draw(image)
    light, shadow = (104, 97, 85), (30, 27, 23)
    if pressed:
        light, shadow = shadow, (86, 80, 70)
    # Soft bevel: two rings inside the black outline.
    draw.line([(1, 1), (width - 2, 1)], fill=light)
    draw.line([(1, 1), (1, height - 2)], fill=light)
    draw.line([(1, height - 2), (width - 2, height - 2)], fill=shadow)
    draw.line([(width - 2, 1), (width - 2, height - 2)], fill=shadow)
    draw.line([(2, 2), (width - 3, 2)], fill=mix(light, top, 0.5))
    draw.line([(2, height - 3), (width - 3, height - 3)], fill=mix(shadow, bottom, 0.5))
    draw.rectangle([0, 0, width - 1, height - 1], outline=(0, 0, 0))

    color = CAPTION_DISABLED if disabled else CAPTION_NORMAL
    font = ImageFont.truetype(os.path.join(FONT_DIR, "LiberationSans-BoldItalic.ttf"), 14 * SS)
    text = Image.new("L", (width * SS, height * SS), 0)
    tdraw = ImageDraw.Draw(text)
    box = tdraw.textbbox((0, 0), caption, font=font)
    x = (width * SS - (box[2] - box[0])) / 2 - box[0]
    y = (height * SS - (box[3] - box[1])) / 2 - box[1]
    if pressed:
        x, y = x + SS, y + SS
    tdraw.text((x, y), caption, font=font, fill=255)
    mask = text.resize((width, height), Image.LANCZOS)
    if not disabled:
        # A dark engraving one pixel below the letters keeps them crisp on the plate.
        shade = Image.new("RGB", (width, height), (22, 20, 17))
        image.paste(shade, (0, 1), mask.point(lambda v: v * 150 // 255))
    image.paste(Image.new("RGB", (width, height), color), (0, 0), mask)
    return image


def buttons():
    for caption, width, normal, pressed, disabled in BUTTONS:
        save_bmp(button_face(caption, width, False, False), normal)
        save_bmp(button_face(caption, width, True, False), pressed)
        save_bmp(button_face(caption, width, False, True), disabled)


def progress_bitmaps():
    # 131: left end, middle and right end of a recessed track, 12 x 12 each.
    frame = Image.new("RGB", (36, 12), (44, 44, 41))
    draw = ImageDraw.Draw(frame)
    draw.line([(0, 0), (35, 0)], fill=(12, 12, 11))
    draw.line([(0, 1), (35, 1)], fill=(24, 24, 22))
    draw.line([(0, 11), (35, 11)], fill=(96, 94, 86))
    draw.line([(0, 0), (0, 11)], fill=(12, 12, 11))
    draw.line([(1, 1), (1, 10)], fill=(24, 24, 22))
    draw.line([(35, 1), (35, 11)], fill=(96, 94, 86))
    draw.line([(34, 2), (34, 10)], fill=(70, 69, 63))
    for x in range(2, 34):
        draw.point((x, 2), fill=(34, 34, 31))
    save_bmp(frame, 131)

    fill = Image.new("RGB", (8, 8))
    for y, color in enumerate(FILL_STRIPES):
        for x in range(8):
            fill.putpixel((x, y), color)
    save_bmp(fill, 130)

    strip = vertical_gradient(472, 30, (40, 40, 37), (30, 30, 27))
    draw = ImageDraw.Draw(strip)
    draw.line([(0, 29), (471, 29)], fill=(20, 20, 18))
    save_bmp(strip, 133)


def emblem(size):
    # The product's mark: a gold lattice sphere on a dark round plate.
    image = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    plate = Image.new("L", (size * SS, size * SS), 0)
    ImageDraw.Draw(plate).ellipse([SS, SS, size * SS - SS - 1, size * SS - SS - 1], fill=255)
    plate = plate.resize((size, size), Image.LANCZOS)
    image.paste(Image.new("RGBA", (size, size), (38, 36, 30, 255)), (0, 0), plate)
    layer, mask = sphere_wireframe(size, (235, 200, 42), 1 if size <= 32 else 2)
    image.paste(layer.convert("RGBA"), (0, 0), mask)
    return image


def about_picture():
    image = Image.new("RGB", (64, 64), (0, 0, 0))
    picture = vertical_gradient(64, 64, (46, 44, 37), (28, 27, 23))
    mark = emblem(64)
    picture.paste(mark, (0, 0), mark)
    save_bmp(picture, 135)


def icon_entry(image):
    # One icon image as a 32-bit DIB with its AND mask (readable by every Windows version).
    size = image.width
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b, a = image.getpixel((x, y))
            rows.append(bytes((b, g, r, a)))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray(mask_row * size)
    for y in range(size):
        for x in range(size):
            if image.getpixel((x, size - 1 - y))[3] == 0:
                mask[y * mask_row + x // 8] |= 0x80 >> (x % 8)
    return header + b"".join(rows) + bytes(mask)


def write_icon(path, images):
    entries = [icon_entry(image) for image in images]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for image, entry in zip(images, entries):
        data += struct.pack("<BBBBHHII", image.width, image.height, 0, 0, 1, 32, len(entry),
                            offset)
        offset += len(entry)
    with open(path, "wb") as out:
        out.write(data + b"".join(entries))


def icons():
    images = [emblem(32), emblem(16)]
    for name in ("korvella.ico", "korvella_small.ico"):
        write_icon(os.path.join(HERE, name), images)


def main():
    background()
    statistics_panel()
    mesh_name_strip()
    buttons()
    progress_bitmaps()
    about_picture()
    icons()


if __name__ == "__main__":
    main()
