#!/usr/bin/env python3
"""A minimal flash read, for comparison with the console's: 29 01, then for each
of the 2048 blocks read exactly 480 characters and send 29 (after the last too).

Usage: flash_read.py DEVICE [--rate N] [--blocks N]

The controller must already run at the rate given (the console's rate change
leaves kestrin-sim there). Python standard library only: termios, select, os;
the port is opened raw as sim_link.py opens it.
"""

import argparse
import os
import select
import time

from sim_link import open_port


def read_exactly(fd, count, timeout=5.0):
    data = b""
    while len(data) < count:
        if not select.select([fd], [], [], timeout)[0]:
            raise TimeoutError(f"got {len(data)} of {count} characters")
        data += os.read(fd, count - len(data))
    return data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("device")
    parser.add_argument("--rate", type=int, default=115200)
    parser.add_argument("--blocks", type=int, default=2048)
    args = parser.parse_args()
    fd = open_port(args.device, args.rate)
    start = time.monotonic()
    os.write(fd, b"\x29\x01")
    for _ in range(args.blocks):
        read_exactly(fd, 480)
        os.write(fd, b"\x29")
    elapsed = time.monotonic() - start
    line = (args.blocks * 480 + 2 + args.blocks) * 10 / args.rate
    print(f"python read {elapsed:8.2f} s   line time {line:8.2f} s   ratio {elapsed / line:.4f}")
    os.close(fd)


if __name__ == "__main__":
    main()
