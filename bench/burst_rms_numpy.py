#!/usr/bin/python3
"""The burst RMS of a segment file with numpy on a memory-mapped file, the peer of the driver's measurement.

Usage: burst_rms_numpy.py FILE COUNT; prints the seconds per measurement, then the burst count and RMS.
"""
import sys
import time

import numpy as np

THRESHOLD = 121000


def burst_rms(path):
    iq = np.memmap(path, dtype=">i2", mode="r")
    i = iq[0::2].astype(np.int64)
    q = iq[1::2].astype(np.int64)
    power = i * i + q * q
    burst = power > THRESHOLD
    count = int(np.count_nonzero(burst))
    total = int(power[burst].sum())
    return count, (total / count) ** 0.5 if count else 0.0


def main() -> int:
    path, count = sys.argv[1], int(sys.argv[2])
    burst_rms(path)
    start = time.perf_counter()
    for _ in range(count):
        result = burst_rms(path)
    print((time.perf_counter() - start) / count)
    print(*result)
    return 0


if __name__ == "__main__":
    sys.exit(main())
