#!/usr/bin/env python3
"""Writes res/Korva_PCU_A16.qfu, the firmware image built into the program.

The block data is opaque to QueloLink: it is sent to the device as it stands. This script makes
it once, deterministically, so the committed file can be made again byte for byte:

    python3 res/make_firmware_image.py

Layout (little-endian): block size 516, header length 9, the further header bytes
0x10 0x34 0x10 0x02 0x05, then 5 blocks of 516 bytes: 2,589 bytes in all.
"""
import os
import struct

BLOCK_SIZE = 516
BLOCKS = 5
HEADER_BYTES = bytes([0x10, 0x34, 0x10, 0x02, 0x05])


def xorshift32(state):
    """The block data: a xorshift32 stream, which looks like compiled code rather than padding."""
    while True:
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        yield state


def main():
    stream = xorshift32(0x4B4F5256)  # "KORV"
    data = bytearray()
    while len(data) < BLOCK_SIZE * BLOCKS:
        data += struct.pack("<I", next(stream))
    data = data[: BLOCK_SIZE * BLOCKS]
    header = struct.pack("<HH", BLOCK_SIZE, 4 + len(HEADER_BYTES)) + HEADER_BYTES
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Korva_PCU_A16.qfu")
    with open(path, "wb") as out:
        out.write(header + data)
    print(f"{path}: {len(header) + len(data)} bytes")


if __name__ == "__main__":
    main()
