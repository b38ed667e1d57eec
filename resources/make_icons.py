#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files beside this script.

vintrell.ico: the application icon, one 32 x 32 image at 24 bits per pixel: two overlapping
application windows, the front one with a close mark in its title bar.
blank.ico: the main window's icon, 32 x 32 at 24 bits per pixel, every pixel transparent.

Run it again after changing a drawing: python3 resources/make_icons.py [--preview DIR]
(--preview also writes each image as a PNG, transparency shown as a checkerboard).
"""

import argparse
import pathlib
import struct
import zlib

SIZE = 32

# Colours (red, green, blue).
FRAME = (64, 64, 64)
BACK_TITLE = (128, 128, 160)
FRONT_TITLE = (0, 70, 170)
CLIENT = (255, 255, 255)
BACK_CLIENT = (212, 212, 212)
CLOSE_BOX = (200, 30, 30)
CLOSE_MARK = (255, 255, 255)
TEXT_LINE = (150, 150, 150)


class Image:
    """A 32 x 32 picture: a colour per pixel, None where the icon is transparent."""

    def __init__(self):
        self.pixels = [[None] * SIZE for _ in range(SIZE)]

    def fill(self, left, top, right, bottom, colour):
        """Fills the rectangle from (left, top) to (right, bottom), both inclusive."""
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                self.pixels[y][x] = colour

    def frame(self, left, top, right, bottom, colour):
        for x in range(left, right + 1):
            self.pixels[top][x] = colour
            self.pixels[bottom][x] = colour
        for y in range(top, bottom + 1):
            self.pixels[y][left] = colour
            self.pixels[y][right] = colour


def draw_window(image, left, top, right, bottom, title, client, close_mark):
    """An application window: frame, title bar, client area and, if asked, a close box."""
    image.fill(left, top, right, bottom, client)
    image.fill(left, top, right, top + 8, title)
    image.frame(left, top, right, bottom, FRAME)
    if close_mark:
        # A red 7 x 7 box at the title bar's right end, a white cross inside it.
        box_left, box_top = right - 8, top + 1
        image.fill(box_left, box_top, box_left + 6, box_top + 6, CLOSE_BOX)
        for step in range(5):
            image.pixels[box_top + 1 + step][box_left + 1 + step] = CLOSE_MARK
            image.pixels[box_top + 1 + step][box_left + 5 - step] = CLOSE_MARK
    return image


def application_icon():
    image = Image()
    # The window behind, up and to the left, partly covered by the front one.
    draw_window(image, 1, 2, 21, 19, BACK_TITLE, BACK_CLIENT, close_mark=False)
    # The window in front, with its close mark.
    draw_window(image, 9, 10, 30, 29, FRONT_TITLE, CLIENT, close_mark=True)
    for y, right in ((22, 26), (24, 26), (26, 21)):  # a few lines of text in the front window
        image.fill(12, y, right, y, TEXT_LINE)
    return image


def blank_icon():
    return Image()


def ico_bytes(image):
    """One ICO file holding the picture as a 24-bit DIB with its AND (transparency) mask."""
    xor_rows = []
    and_rows = []
    for y in reversed(range(SIZE)):  # DIB rows run bottom-up
        xor = bytearray()
        mask_bits = 0
        for x in range(SIZE):
            colour = image.pixels[y][x]
            if colour is None:
                xor += b"\0\0\0"
                mask_bits |= 1 << (SIZE - 1 - x)
            else:
                red, green, blue = colour
                xor += bytes((blue, green, red))
        xor_rows.append(bytes(xor))  # 96 bytes a row: already a multiple of 4
        and_rows.append(mask_bits.to_bytes(SIZE // 8, "big"))  # 4 bytes a row
    xor_data = b"".join(xor_rows)
    and_data = b"".join(and_rows)
    header = struct.pack(
        "<IiiHHIIiiII",
        40,  # biSize
        SIZE,  # biWidth
        SIZE * 2,  # biHeight: the colour image and the mask together
        1,  # biPlanes
        24,  # biBitCount
        0,  # biCompression: BI_RGB
        len(xor_data) + len(and_data),
        0,
        0,
        0,
        0,
    )
    image_data = header + xor_data + and_data
    directory = struct.pack("<HHH", 0, 1, 1)  # reserved, type icon, one image
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image_data), 6 + 16)
    return directory + entry + image_data


def png_bytes(image, scale=8):
    """A preview, enlarged, with transparent pixels as a grey checkerboard."""
    rows = []
    for y in range(SIZE * scale):
        row = bytearray(b"\0")  # filter type: none
        for x in range(SIZE * scale):
            colour = image.pixels[y // scale][x // scale]
            if colour is None:
                light = ((x // scale) + (y // scale)) % 2 == 0
                colour = (235, 235, 235) if light else (200, 200, 200)
            row += bytes(colour)
        rows.append(bytes(row))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    side = SIZE * scale
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0))
        + chunk(b"IDAT", zlib.compress(b"".join(rows)))
        + chunk(b"IEND", b"")
    )


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preview", type=pathlib.Path, help="also write PNG previews here")
    args = parser.parse_args()
    here = pathlib.Path(__file__).resolve().parent
    icons = {"vintrell": application_icon(), "blank": blank_icon()}
    for name, image in icons.items():
        (here / f"{name}.ico").write_bytes(ico_bytes(image))
        if args.preview:
            args.preview.mkdir(parents=True, exist_ok=True)
            (args.preview / f"{name}.png").write_bytes(png_bytes(image))


if __name__ == "__main__":
    main()
