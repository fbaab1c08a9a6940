"""A Python ctypes client of libvelkorin.so, called the way test stations call it: a session through the
registered measurement server module against q7730-sim started as a process on 127.0.0.1.

Usage: velkorin_ctypes_peer.py PATH-TO-q7730-sim PATH-TO-libvelkorin.so PATH-TO-REGISTRATION-FILE
"""

import ctypes
import glob
import os
import socket
import subprocess
import sys
import tempfile
import unittest

SIMULATOR = None
LIBRARY = None
REGISTRY = None
IDENTITY_SIZE = 128


class Control:
    """A raw SCPI connection of the test's own, for the simulator's control commands."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.replies = self.sock.makefile("r", newline="\n")

    def command(self, text):
        self.sock.sendall(text.encode() + b"\n")
        return self.query(":SIMulation:IO:OWNer?")

    def query(self, text):
        self.sock.sendall(text.encode() + b"\n")
        return self.replies.readline().rstrip("\n")

    def close(self):
        self.replies.close()
        self.sock.close()


class VelkorinPeerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.traces = tempfile.TemporaryDirectory()
        # Both are read when the library is loaded or first creates the server.
        os.environ["TEVRA_REGISTRY"] = REGISTRY
        os.environ["TEVRA_TRACE_FILE"] = os.path.join(cls.traces.name, "trace.txt")
        cls.tevra = ctypes.CDLL(LIBRARY)
        lib = cls.tevra
        lib.Tevra_Init.argtypes = [ctypes.c_char_p] + [ctypes.c_int32] * 4
        for name in ("Tevra_SerialNumber", "Tevra_DriverVersion", "Tevra_FirmwareRevision"):
            getattr(lib, name).argtypes = [ctypes.c_char_p]
        lib.Tevra_GetProperty.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_double)]
        lib.Tevra_ARB_Select_Sequence.argtypes = [ctypes.c_char_p, ctypes.c_double, ctypes.c_double,
                                                  ctypes.c_int32]
        lib.Tevra_ARB_SequencePlaying.argtypes = [ctypes.c_int32]
        lib.Tevra_ARB_Stop.argtypes = [ctypes.c_int32]
        for function in (lib.Tevra_Init, lib.Tevra_Close, lib.Tevra_SerialNumber, lib.Tevra_GetProperty,
                         lib.Tevra_ARB_Select_Sequence, lib.Tevra_ARB_TriggerSequence,
                         lib.Tevra_ARB_SequencePlaying, lib.Tevra_ARB_SourceActive, lib.Tevra_ARB_Stop,
                         lib.Tevra_GetCOMLastError):
            function.restype = ctypes.c_int32

    @classmethod
    def tearDownClass(cls):
        cls.traces.cleanup()

    def setUp(self):
        self.storage = tempfile.TemporaryDirectory()
        self.daemon = subprocess.Popen([SIMULATOR, "--port", "0", "--storage", self.storage.name],
                                       stdout=subprocess.PIPE, text=True)
        self.port = int(self.daemon.stdout.readline())
        self.resource = f"TCPIP0::127.0.0.1::{self.port}::SOCKET".encode()
        self.control = Control(self.port)

    def tearDown(self):
        self.tevra.Tevra_Close()
        self.control.close()
        self.daemon.terminate()
        self.assertEqual(self.daemon.wait(timeout=10), 0)
        self.daemon.stdout.close()
        self.storage.cleanup()

    def text(self, function):
        buffer = ctypes.create_string_buffer(IDENTITY_SIZE)
        self.assertEqual(function(buffer), 0)
        return buffer.value.decode()

    def test_session_plays_stops_and_refuses_a_sequence(self):
        self.control.command(":SIMulation:CLOCk:MODE MANual")
        lib = self.tevra
        self.assertEqual(lib.Tevra_Init(self.resource, 0, 0, 0, 0), 0)
        self.assertEqual(self.text(lib.Tevra_SerialNumber), "SIM7730-0042")
        self.assertEqual(self.text(lib.Tevra_FirmwareRevision), "3.12.0-sim")
        self.assertEqual(self.text(lib.Tevra_DriverVersion), "5.4.4.0")
        value = ctypes.c_double()
        self.assertEqual(lib.Tevra_GetProperty(b"CenterFrequency_MHz", ctypes.byref(value)), 1)
        self.assertEqual(value.value, 2412.0)

        self.assertEqual(lib.Tevra_ARB_Select_Sequence(b"CW_TONE", -10.0, 2412.0, 40), 0)
        self.assertEqual(lib.Tevra_ARB_TriggerSequence(), 0)
        self.assertEqual(lib.Tevra_ARB_SequencePlaying(1), 1)
        self.assertEqual(lib.Tevra_ARB_SourceActive(), 1)
        self.control.command(":SIMulation:CLOCk:ADVance 1ms")
        self.assertEqual(lib.Tevra_ARB_SequencePlaying(1), 0)
        self.assertEqual(lib.Tevra_ARB_Stop(0), 0)
        self.assertEqual(lib.Tevra_ARB_SourceActive(), 0)
        self.assertEqual(lib.Tevra_ARB_Select_Sequence(b"NOPE", -10.0, 2412.0, 40), -7063)
        self.assertLess(lib.Tevra_GetCOMLastError(), 0)
        self.assertEqual(lib.Tevra_Close(), 0)
        self.assertEqual(lib.Tevra_Close(), 1)

        self.assertEqual(self.control.query(":SIMulation:IO:CONFlicts?"), "0")
        traced = "".join(open(path, encoding="latin-1").read()
                         for path in glob.glob(os.path.join(self.traces.name, "trace*")))
        self.assertIn("COM DriverVersion 5.4.4.0, Q7730 FirmwareRevision 3.12.0-sim", traced)


if __name__ == "__main__":
    SIMULATOR, LIBRARY, REGISTRY = sys.argv[1:4]
    del sys.argv[1:4]
    unittest.main()
