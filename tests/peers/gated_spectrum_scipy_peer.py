"""The simulated analyzer's gated spectrum against scipy.signal.welch on the same waveform: three tones
played at 80 MHz, so that the analyzer captures the samples as stored, are measured over SCPI on each span
and compared point by point with scipy's Welch estimate (Hann windows of 1200 samples, half overlapping,
zero padded to 16384, read off between bins the same way) wherever scipy's trace lies within 60 dB of its
peak. The tones' phases depend on where the capture starts, their spectra do not.

Usage: gated_spectrum_scipy_peer.py PATH-TO-q7730-sim
"""

import socket
import subprocess
import sys
import tempfile
import unittest

import numpy as np
from scipy import signal

SIMULATOR = None
RATE_HZ = 80e6
LEVEL_DBM = -10.0
TONES = [(-7.0e6, 0.0), (3.2e6, -20.0), (12.5e6, -40.0)]  # offset, level relative to the first
PERIOD = 8000  # samples: every tone fits a whole number of periods


def waveform():
    n = np.arange(PERIOD)
    x = sum(10 ** (db / 20) * np.exp(2j * np.pi * f / RATE_HZ * n) for f, db in TONES)
    scale = 0.7 * 32767 / max(np.abs(x.real).max(), np.abs(x.imag).max())
    words = np.empty(2 * PERIOD, dtype=">i2")
    words[0::2] = np.round(x.real * scale)
    words[1::2] = np.round(x.imag * scale)
    stored = (words[0::2] + 1j * words[1::2]) / 32767.0
    return words.tobytes(), stored * np.sqrt(10 ** (LEVEL_DBM / 10) / np.mean(np.abs(stored) ** 2))


def scipy_trace(x, start_hz, step_hz, count):
    nfft = 16384
    freqs, pxx = signal.welch(x, fs=RATE_HZ, window="hann", nperseg=1200, noverlap=600, nfft=nfft,
                              detrend=False, return_onesided=False, scaling="spectrum")
    at = (start_hz + step_hz * np.arange(count)) * nfft / RATE_HZ
    below = np.floor(at).astype(int)
    fraction = at - below
    power = pxx[below % nfft] * (1 - fraction) + pxx[(below + 1) % nfft] * fraction
    return 10 * np.log10(power)


class GatedSpectrumScipyPeer(unittest.TestCase):
    def setUp(self):
        self.storage = tempfile.TemporaryDirectory()
        self.daemon = subprocess.Popen([SIMULATOR, "--port", "0", "--storage", self.storage.name],
                                       stdout=subprocess.PIPE, text=True)
        self.link = socket.create_connection(("127.0.0.1", int(self.daemon.stdout.readline())), timeout=10)
        self.replies = self.link.makefile("rb")

    def tearDown(self):
        self.replies.close()
        self.link.close()
        self.daemon.terminate()
        self.assertEqual(self.daemon.wait(timeout=10), 0)
        self.daemon.stdout.close()
        self.storage.cleanup()

    def write(self, data):
        self.link.sendall(data + b"\n")

    def query(self, text):
        self.write(text.encode())
        return self.replies.readline().decode().strip()

    def test_spectrum_matches_scipy_welch(self):
        stored, samples = waveform()
        length = str(len(stored)).encode()
        self.write(b'MMEM:DATA "PEER.wf1",#' + str(len(length)).encode() + length + stored)
        self.write(b'SOUR:RAD:ARB:CLOC:SRAT 80MHz;:SOUR:RAD:ARB:WAVE "WFM1:PEER";:SOUR:RAD:ARB ON;:OUTP ON')
        self.write(b":SOUR:POW %.1f;:SENS:POW:RANG 0;:TRIG:SOUR IMM;:SENS:ACQ:TIME 970us" % LEVEL_DBM)
        self.write(b":SIMulation:CLOCk:MODE MANual")
        self.assertEqual(self.query("SYST:ERR?"), '0,"No error"')
        capture = np.resize(samples, 77600)
        for width in (1, 2, 3):
            with self.subTest(width=width):
                self.write(b"SENSe:SPECtrum:GATed:WIDTh %d;:INITiate:SPECtrum:GATed;:SIM:CLOC:ADV 1" % width)
                fields = [float(v) for v in self.query("FETCh:SPECtrum:GATed?").split(",")]
                start, step, count = fields[1], fields[2], int(fields[6])
                self.assertEqual(count, 400 * width + 1)
                ours = np.array(fields[7:])
                theirs = scipy_trace(capture, start, step, count)
                near = theirs > theirs.max() - 60
                self.assertGreater(near.sum(), 10)
                self.assertLess(np.abs(ours[near] - theirs[near]).max(), 0.2)
                for offset, db in TONES:
                    if abs(offset) <= 11e6 * width:
                        point = int(round((offset - start) / step))
                        self.assertAlmostEqual(ours[point], LEVEL_DBM + db - 10 * np.log10(
                            sum(10 ** (d / 10) for _, d in TONES)), delta=1.0)


if __name__ == "__main__":
    SIMULATOR = sys.argv.pop(1)
    unittest.main()
