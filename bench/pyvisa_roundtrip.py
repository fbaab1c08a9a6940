#!/usr/bin/python3
"""Times the exchanges of the direct-I/O benchmark through pyvisa with the pyvisa-py backend.

Usage: pyvisa_roundtrip.py RESOURCE COUNT; prints the microseconds per query round trip and per select.
"""
import sys
import time

import pyvisa

SELECT = [
    ":OUTput OFF", ":OUTput:MODulation:STATe OFF", ":SOURce:RADio:ARB:STATe OFF",
    ":SOURce:POWer:LEVel:IMMediate:AMPLitude -10.000000", ":SOURce:FREQuency:FIXed 2412MHz",
    ":SOURce:RADio:ARB:CLOCK:SRATe 40MHz", ":SOURce:RADio:ARB:TRIGger:TYPE SINGle",
    ":SOURce:RADio:ARB:STATe ON", ":SOURce:RADio:ARB:TRIGger BUS", ":SOURce:RADio:ARB:CLOCK:SRATe 40MHz",
    ':SOURce:RADio:ARB:WAVEform "SEQ:CW_TONE"', ":SOURce:RADio:ARB:TRIGger:TYPE SINGle",
]


def main() -> int:
    resource, count = sys.argv[1], int(sys.argv[2])
    inst = pyvisa.ResourceManager("@py").open_resource(resource)
    inst.read_termination = "\n"
    inst.write_termination = "\n"
    inst.query("STATus:OPERation:COND?")
    start = time.perf_counter()
    for _ in range(count):
        inst.query("STATus:OPERation:COND?")
    query_us = (time.perf_counter() - start) / count * 1e6
    start = time.perf_counter()
    for _ in range(count):
        for command in SELECT:
            inst.write(command)
        inst.query("SYST:ERR?")
        inst.write(":OUTput:MODulation:STATe ON")
    select_us = (time.perf_counter() - start) / count * 1e6
    print(f"{query_us:.3f} {select_us:.3f}")
    inst.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
