#!/usr/bin/python3
"""A test program that calls the Tevra driver through ctypes, as Python test stations do."""
import ctypes
import os
import sys

LIBRARY = os.environ.get("TEVRA_LIBRARY", "libvelkorin.so")


def main() -> int:
    tevra = ctypes.CDLL(LIBRARY)
    tevra.Tevra_Log_Open.argtypes = [ctypes.c_char_p]
    tevra.Tevra_Log_Open.restype = ctypes.c_int32
    tevra.Tevra_Log_LogIt.restype = ctypes.c_int32
    tevra.Tevra_Stat_Measurement.argtypes = [ctypes.c_int32, ctypes.POINTER(ctypes.c_int32)]
    tevra.Tevra_Stat_Measurement.restype = None
    tevra.Tevra_GetCOMLastError.restype = ctypes.c_int32

    trace = sys.argv[1] if len(sys.argv) > 1 else "/tmp/tevra-python.log.txt"
    if tevra.Tevra_Log_Open(trace.encode()) != 1:
        print(f"cannot open {trace}", file=sys.stderr)
        return 1
    # Variadic C functions take ctypes arguments with explicit types.
    tevra.Tevra_Log_LogIt(b"python station: channel %d", ctypes.c_int(6))
    block = (ctypes.c_int32 * 83)()
    tevra.Tevra_Stat_Measurement(2, block)
    tevra.Tevra_Log_Close()
    print(f"trace file: {trace}, total {block[1]} ms, COM last error {tevra.Tevra_GetCOMLastError()}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
