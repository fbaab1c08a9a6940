"""Finding the driver library and the simulator program of this installation."""
import ctypes
import ctypes.util
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))


def _installed(name):
    """A path that the build wrote into _location.py, relative to this folder; None without one."""
    try:
        from . import _location
    except ImportError:
        return None
    path = getattr(_location, name, None)
    return os.path.normpath(os.path.join(HERE, path)) if path else None


def library_path():
    """The library next to the package, else TEVRA_LIBRARY, else the system's libvelkorin."""
    for candidate in (_installed("LIBRARY"), os.path.join(HERE, "libvelkorin.so")):
        if candidate and os.path.exists(candidate):
            return candidate
    if os.environ.get("TEVRA_LIBRARY"):
        return os.environ["TEVRA_LIBRARY"]
    return ctypes.util.find_library("velkorin") or "libvelkorin.so"


def simulator_path():
    """q7730-sim of this installation, else TEVRA_SIMULATOR, else the one on PATH."""
    candidate = _installed("SIMULATOR")
    if candidate and os.path.exists(candidate):
        return candidate
    return os.environ.get("TEVRA_SIMULATOR") or shutil.which("q7730-sim") or "q7730-sim"


def header_path():
    """include/tevra.h of this installation or build, None when it is not known."""
    return _installed("HEADER")


def load():
    return ctypes.CDLL(library_path())
