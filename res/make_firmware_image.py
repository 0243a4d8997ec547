#!/usr/bin/env python3
"""Writes res/Korva_PCU_A16.qfu, the firmware image built into the program (resource FW 136).

The file is committed: the build embeds it as it stands and never runs this script. The script
is here so the file can be made again, byte for byte, or checked against what it should be:

    python3 res/make_firmware_image.py           # (re)writes res/Korva_PCU_A16.qfu
    python3 res/make_firmware_image.py --check   # exit status 1 when the committed file differs

Python 3, standard library only.

Layout (little-endian), 2,589 bytes in all:
    0-1   block size: 516
    2-3   header length: 9, counting these first four bytes
    4-8   further header bytes, not interpreted: 0x10 0x34 0x10 0x02 0x05
    9-    block data: 5 blocks of 516 bytes

The block data is opaque to QueloLink: each block goes to the device exactly as stored. Here it
is a stand-in for compiled code, a xorshift32 stream from a fixed seed, so it is the same on
every run and nothing like a run of zeros.
"""
import argparse
import os
import struct
import sys

BLOCK_SIZE = 516
BLOCKS = 5
HEADER_BYTES = bytes([0x10, 0x34, 0x10, 0x02, 0x05])
SEED = 0x4B4F5256  # "KORV"
IMAGE_PATH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Korva_PCU_A16.qfu")


def xorshift32(state):
    """An endless xorshift32 stream of 32-bit words from a non-zero seed."""
    while True:
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        yield state


def image():
    stream = xorshift32(SEED)
    data = bytearray()
    while len(data) < BLOCK_SIZE * BLOCKS:
        data += struct.pack("<I", next(stream))
    data = data[: BLOCK_SIZE * BLOCKS]
    header = struct.pack("<HH", BLOCK_SIZE, 4 + len(HEADER_BYTES)) + HEADER_BYTES
    return bytes(header + data)


def main():
    parser = argparse.ArgumentParser(description="Writes or checks res/Korva_PCU_A16.qfu.")
    parser.add_argument("--check", action="store_true", help="compare the committed file instead of writing it")
    arguments = parser.parse_args()
    wanted = image()
    if arguments.check:
        try:
            with open(IMAGE_PATH, "rb") as existing:
                same = existing.read() == wanted
        except OSError:
            same = False
        print(f"{IMAGE_PATH}: {'as made by this script' if same else 'DIFFERS from what this script makes'}")
        return 0 if same else 1
    with open(IMAGE_PATH, "wb") as out:
        out.write(wanted)
    print(f"{IMAGE_PATH}: {len(wanted)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
