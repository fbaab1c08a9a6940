"""The simulated Q7730 (q7730-sim) of this installation, for tests and demonstrations.

python3 -m tevra.sim [--port N] [--storage DIR] starts it, prints its resource string and serves until it
is interrupted.
"""
import argparse
import signal
import subprocess
import sys
import tempfile

from . import _library


class Simulator:
    """A running q7730-sim on 127.0.0.1; resource is its VISA resource string. A context manager."""

    def __init__(self, port=0, storage=None, program=None):
        self.program = program or _library.simulator_path()
        self._storage = None if storage else tempfile.TemporaryDirectory(prefix="q7730-")
        self.storage = storage or self._storage.name
        self.process = subprocess.Popen([self.program, "--port", str(port), "--storage", self.storage],
                                        stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if not line.strip().isdigit():
            self.stop()
            raise RuntimeError(f"{self.program} did not start (exit code {self.process.returncode})")
        self.port = int(line)
        self.resource = f"TCPIP0::127.0.0.1::{self.port}::SOCKET"

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
        self.process.wait(timeout=10)
        self.process.stdout.close()
        if self._storage is not None:
            self._storage.cleanup()
            self._storage = None

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.stop()
        return False


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m tevra.sim", description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0, help="TCP port on 127.0.0.1 (0: a free one)")
    parser.add_argument("--storage", help="generator memory folder (default: a temporary one)")
    options = parser.parse_args(argv)
    stop = []
    for number in (signal.SIGINT, signal.SIGTERM):
        signal.signal(number, lambda *_: stop.append(True))
    with Simulator(options.port, options.storage) as simulator:
        print(simulator.resource, flush=True)
        while not stop:
            signal.pause()
    return 0


if __name__ == "__main__":
    sys.exit(main())
