#!/usr/bin/env python3
"""Builds a 32 x 32 monochrome .cur from a text drawing (see hand_cursor.txt)."""
import struct
import sys

def main(src, dst):
    rows = [l.rstrip('\n') for l in open(src, encoding='utf-8') if not l.startswith('#')]
    assert len(rows) == 32 and all(len(r) == 32 for r in rows), 'the drawing is 32 x 32'
    hot = next((x, y) for y, r in enumerate(rows) for x, c in enumerate(r) if c == '+')
    xor_rows, and_rows = [], []
    for r in reversed(rows):  # bottom-up
        xor_bits = and_bits = 0
        for c in r:
            xor_bits = (xor_bits << 1) | (1 if c in 'o+' else 0)
            and_bits = (and_bits << 1) | (1 if c == '.' else 0)
        xor_rows.append(struct.pack('>I', xor_bits))
        and_rows.append(struct.pack('>I', and_bits))
    image = struct.pack('<IiiHHIIiiII', 40, 32, 64, 1, 1, 0, 0, 0, 0, 2, 0)
    image += bytes([0, 0, 0, 0, 255, 255, 255, 0]) + b''.join(xor_rows) + b''.join(and_rows)
    header = struct.pack('<HHH', 0, 2, 1) + struct.pack('<BBBBHHII', 32, 32, 0, 0, hot[0], hot[1], len(image), 22)
    open(dst, 'wb').write(header + image)

if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
