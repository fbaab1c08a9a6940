"""pyvisa with the pyvisa-py backend against q7730-sim: identity, the direct playback commands, the
error queue over a raw SCPI socket on 127.0.0.1 (pyvisa-py reads no status byte there), and the status
byte over VXI-11 when a portmapper answers (skipped with the reason otherwise).

Usage: pyvisa_peer.py PATH-TO-q7730-sim
"""

import fcntl
import os
import subprocess
import sys
import tempfile
import unittest

import pyvisa

SIMULATOR = None


class PyvisaPeerTest(unittest.TestCase):
    def setUp(self):
        self.storage = tempfile.TemporaryDirectory()
        self.daemon = subprocess.Popen(
            [SIMULATOR, "--port", "0", "--storage", self.storage.name],
            stdout=subprocess.PIPE, text=True)
        port = int(self.daemon.stdout.readline())
        self.rm = pyvisa.ResourceManager("@py")
        self.inst = self.rm.open_resource(
            f"TCPIP0::127.0.0.1::{port}::SOCKET",
            read_termination="\n", write_termination="\n", timeout=2000)

    def tearDown(self):
        self.inst.close()
        self.rm.close()
        self.daemon.terminate()
        self.assertEqual(self.daemon.wait(timeout=10), 0)
        self.daemon.stdout.close()
        self.storage.cleanup()

    def test_direct_playback(self):
        for command in [
                ":OUTput OFF", ":OUTput:MODulation:STATe OFF", ":SOURce:RADio:ARB:STATe OFF",
                ":SOURce:POWer:LEVel:IMMediate:AMPLitude -12.500000",
                ":SOURce:FREQuency:FIXed 5180.12MHz", ":SOURce:RADio:ARB:CLOCK:SRATe 44MHz",
                ":SOURce:RADio:ARB:TRIGger:TYPE SINGle", ":SOURce:RADio:ARB:STATe ON",
                ":SOURce:RADio:ARB:TRIGger BUS", ":SOURce:RADio:ARB:WAVEform \"SEQ:CW_TONE\"",
                ":OUTput:MODulation:STATe ON", ":OUTput ON"]:
            self.inst.write(command)
        self.assertEqual(self.inst.query("SYST:ERR?"), '0,"No error"')
        self.assertAlmostEqual(float(self.inst.query(":SOURce:FREQuency:FIXed?")), 5.18012e9)
        self.assertAlmostEqual(float(self.inst.query(":SOUR:POW?")), -12.5)
        self.assertAlmostEqual(float(self.inst.query(":SOUR:RAD:ARB:CLOC:SRAT?")), 44e6)
        self.assertEqual(self.inst.query(":SOUR:RAD:ARB:WAVE?"), '"SEQ:CW_TONE"')
        self.assertEqual(self.inst.query(":OUTP?;:OUTP:MOD?;:SOUR:RAD:ARB?"), "1;1;1")

        self.inst.write(":SIMulation:CLOCk:MODE MANual")
        self.inst.write(":SOURce:RADio:ARB:TRIGger:SOFT")
        self.assertEqual(int(self.inst.query("STATus:OPERation:COND?")), 8)
        self.inst.write(":SIMulation:CLOCk:ADVance 1ms")
        self.assertEqual(int(self.inst.query("STATus:OPERation:COND?")), 0)

    def test_identity_error_queue_and_binary_block(self):
        maker, model, serial, firmware = self.inst.query("*IDN?").split(",")
        self.assertEqual((maker, model), ("Bextora", "Q7730"))
        self.assertTrue(serial and firmware)
        self.inst.write(":SOURce:RADio:ARB:WAVEform \"SEQ:MISSING\"")
        self.inst.write("NOT:A:COMMAND")
        self.assertEqual(self.inst.query("SYST:ERR?"), '-256,"File name not found;MISSING.seq"')
        self.assertEqual(self.inst.query("SYST:ERR?"), '-113,"Undefined header;NOT:A:COMMAND"')
        data = bytes(range(256)) * 4
        self.inst.write_binary_values('MMEM:DATA "peer.wf1",', data, datatype="B")
        self.assertEqual(self.inst.query("SYST:ERR?"), '0,"No error"')
        back = self.inst.query_binary_values('MMEM:DATA? "peer.wf1"', datatype="B", container=bytes)
        self.assertEqual(back, data)


class PyvisaVxi11PeerTest(unittest.TestCase):
    def test_status_byte_over_vxi11(self):
        # One registration of the core channel per machine: the loopback tests take the same turn.
        with open("/tmp/tevra-vxi11-portmapper.lock", "a") as turn, \
                tempfile.TemporaryDirectory() as storage:
            fcntl.flock(turn, fcntl.LOCK_EX)
            daemon = subprocess.Popen(
                [SIMULATOR, "--port", "0", "--vxi11", "--storage", storage],
                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            try:
                daemon.stdout.readline()
                daemon.stdout.readline()
                os.set_blocking(daemon.stderr.fileno(), False)
                try:
                    warning = os.read(daemon.stderr.fileno(), 4096).decode()
                except BlockingIOError:
                    warning = ""
                if "not registered" in warning:
                    self.skipTest(warning.strip())
                rm = pyvisa.ResourceManager("@py")
                inst = rm.open_resource("TCPIP0::127.0.0.1::inst0::INSTR", timeout=2000)
                inst.write("*CLS;*IDN?")
                self.assertEqual(inst.read_stb(), 0x10)
                self.assertTrue(inst.read().startswith("Bextora,Q7730"))
                self.assertEqual(inst.read_stb(), 0x00)
                inst.close()
                rm.close()
            finally:
                daemon.terminate()
                daemon.wait(timeout=10)
                daemon.stdout.close()
                daemon.stderr.close()


if __name__ == "__main__":
    SIMULATOR = sys.argv.pop(1)
    unittest.main()
