"""Writes a 32 x 32, 32-bit icon: a solid green square, easy to find in a screenshot."""
import struct
import sys

SIZE = 32
BGRA = bytes((140, 200, 70, 255))  # RGB(70, 200, 140), opaque

pixels = BGRA * (SIZE * SIZE)
mask = bytes(SIZE * SIZE // 8)  # all opaque
header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
image = header + pixels + mask
directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 22)
with open(sys.argv[1], "wb") as out:
    out.write(directory + image)
