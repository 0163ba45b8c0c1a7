#!/usr/bin/env python3
"""Measures a running kestrin-sim through its pseudo-terminal, as the console uses it.

Usage: sim_link.py DEVICE [--rate N] [--blocks N] [--rounds N]

  DEVICE    the device path kestrin-sim printed (or its com<n> link)
  --rate    line rate to use; the simulator, which starts at 9600, is switched to it
            first with 0F nn
  --blocks  how many flash blocks to read and write (default: all 2048)
  --rounds  how many identification round trips to time (default: 20)

Reports the identification round trip (49 44 until the whole reply has arrived; the
median of the rounds, which a busy machine disturbs least, and the fastest), a flash read
(29 01, then one 29 per block of 480 characters) and a flash write (29 02, then a ready
byte before each block of 240 bytes sent one byte per write), with the time the same
bytes need on a real line at 10 bits per byte. The write puts the flash back as it was
read, so the simulator's fonts stay intact. Python standard library only.
"""

import argparse
import os
import select
import statistics
import termios
import time

RATES = {2400: termios.B2400, 4800: termios.B4800, 9600: termios.B9600,
         19200: termios.B19200, 38400: termios.B38400, 57600: termios.B57600,
         115200: termios.B115200}
RATE_INDEX = {2400: 0, 4800: 1, 9600: 2, 19200: 4, 38400: 6, 57600: 7, 115200: 8}


def open_port(path, rate):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    attrs = termios.tcgetattr(fd)
    attrs[0] = attrs[1] = attrs[3] = 0
    attrs[2] = termios.CS8 | termios.CREAD | termios.CLOCAL
    attrs[4] = attrs[5] = RATES[rate]
    termios.tcsetattr(fd, termios.TCSANOW, attrs)
    termios.tcflush(fd, termios.TCIOFLUSH)
    return fd


def read_until(fd, count, timeout=30.0):
    data = b""
    deadline = time.monotonic() + timeout
    while len(data) < count:
        if not select.select([fd], [], [], max(0.0, deadline - time.monotonic()))[0]:
            raise TimeoutError(f"got {len(data)} of {count} bytes")
        data += os.read(fd, count - len(data))
    return data


def line_time(byte_count, rate):
    return byte_count * 10 / rate


def measure_detection(fd, rate, rounds):
    times = []
    for _ in range(rounds):
        start = time.monotonic()
        os.write(fd, b"\x49\x44")
        reply = b""
        while b"KESTRIN 240x64" not in reply:
            reply += read_until(fd, 1)
        times.append(time.monotonic() - start)
    line = line_time(2 + len(reply), rate)
    median = statistics.median(times)
    print(f"49 44 round trip: median {median * 1000:.2f} ms, fastest {min(times) * 1000:.2f} ms "
          f"(line time of 2 + {len(reply)} bytes: {line * 1000:.2f} ms; "
          f"median beyond it: {(median - line) * 1000:.2f} ms)")


def measure_read(fd, rate, blocks):
    start = time.monotonic()
    os.write(fd, b"\x29\x01")
    image = b""
    for _ in range(blocks):
        image += read_until(fd, 480)
        os.write(fd, b"\x29")
    elapsed = time.monotonic() - start
    sent = 2 + blocks
    print(f"flash read of {blocks} blocks: {elapsed:.3f} s "
          f"(line time: {line_time(len(image) + sent, rate):.3f} s)")
    return bytes.fromhex(image.decode())


def measure_write(fd, rate, image, blocks):
    start = time.monotonic()
    os.write(fd, b"\x29\x02")
    for block in range(blocks):
        read_until(fd, 1)
        for byte in image[block * 240:(block + 1) * 240]:
            os.write(fd, bytes([byte]))
    elapsed = time.monotonic() - start
    # The clock stops when the last block has been handed to the port, before it is on
    # the line; so the line time counts every byte but that block.
    print(f"flash write of {blocks} blocks: {elapsed:.3f} s "
          f"(line time: {line_time(2 + blocks + (blocks - 1) * 240, rate):.3f} s)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("device")
    parser.add_argument("--rate", type=int, default=9600, choices=sorted(RATES))
    parser.add_argument("--blocks", type=int, default=2048)
    parser.add_argument("--rounds", type=int, default=20)
    args = parser.parse_args()
    if args.rate != 9600:
        fd = open_port(args.device, 9600)
        os.write(fd, bytes([0x0F, RATE_INDEX[args.rate]]))
        time.sleep(0.1)
        os.close(fd)
    fd = open_port(args.device, args.rate)
    measure_detection(fd, args.rate, args.rounds)
    image = measure_read(fd, args.rate, args.blocks)
    if args.blocks < 2048:
        time.sleep(6)  # let the simulator give up the unfinished read
        termios.tcflush(fd, termios.TCIFLUSH)  # the block asked for by the last 29
    measure_write(fd, args.rate, image, args.blocks)
    os.close(fd)


if __name__ == "__main__":
    main()
