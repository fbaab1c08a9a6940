"""The Tevra driver for the Q7730 wireless test set, from Python.

Every exported function Tevra_Name_Of_Function is here as name_of_function (tevra.set_property,
tevra.arb_select_sequence_11ag): texts are str, outputs are returned, and a negative result raises TevraError
with the function, its code and the ERR text the call traced.

    with tevra.Session("TCPIP0::127.0.0.1::5025::SOCKET") as session:
        print(session.serial_number())
"""
import ctypes
import re

from . import _library
from ._signatures import ERROR_TEXT_SIZE, SIGNATURES

__version__ = "5.11.0"

library = _library.load()

try:
    import numpy as _numpy
except ImportError:
    _numpy = None


class TevraError(Exception):
    """A negative result: function (the C name), code (the result) and text (the ERR text of the call)."""

    def __init__(self, function, code, text):
        self.function = function
        self.code = code
        self.text = text
        super().__init__(f"{function} failed with {code}: {text or 'no ERR text traced'}")


_SCALARS = {"i16": ctypes.c_int16, "i32": ctypes.c_int32, "f64": ctypes.c_double}
_ARGUMENT = re.compile(r"^(?:(out|in|size) )?(i16|i32|f64|str|text|fmt|\d+)(?:\[(\d*)\])?(?: \.\.\.)?$")


def python_name(c_name):
    """Tevra_ARB_Select_SequenceEx -> arb_select_sequence_ex, Zunt_enableServiceEx -> zunt_enable_service_ex."""
    name = c_name[len("Tevra_"):] if c_name.startswith("Tevra_") else c_name
    name = re.sub(r"(?<=[a-z0-9])(?=[A-Z])|(?<=[A-Z])(?=[A-Z][a-z])", "_", name)
    return name.lower()


def parse_signature(text):
    """'i32?(str, out f64)' -> ('i32?', [(None, 'str', None), ('out', 'f64', None)])."""
    match = re.fullmatch(r"(void|f64|i32\??)\((.*)\)", text)
    if not match:
        raise ValueError(f"bad signature {text!r}")
    arguments = []
    for part in filter(None, (p.strip() for p in match.group(2).split(","))):
        arg = _ARGUMENT.match(part)
        if not arg:
            raise ValueError(f"bad argument {part!r} in {text!r}")
        arguments.append((arg.group(1), arg.group(2), arg.group(3)))
    return match.group(1), arguments


def _ctype(direction, kind):
    if kind in ("str", "text", "fmt"):
        return ctypes.c_char_p
    if direction == "size":
        return ctypes.c_int32
    scalar = _SCALARS[kind]
    return ctypes.POINTER(scalar) if direction in ("out", "in") else scalar


def _encode(text):
    if text is None or isinstance(text, bytes):
        return text
    return str(text).encode()


def _out_buffer(kind, count):
    if kind == "text":
        return ctypes.create_string_buffer(int(count))
    return (_SCALARS[kind] * int(count or 1))()


def _output(buffer, kind, count):
    if kind == "text":
        return buffer.value.decode(errors="replace")
    if count:
        return _numpy.ctypeslib.as_array(buffer).copy() if _numpy is not None else list(buffer)
    return buffer[0]


def last_error_text():
    """The ERR text of the last failure traced on this thread (and clears it)."""
    buffer = ctypes.create_string_buffer(ERROR_TEXT_SIZE)
    library.Tevra_GetLastErrorText(buffer, len(buffer))
    return buffer.value.decode(errors="replace")


def _bind(c_name, signature):
    result, arguments = parse_signature(signature)
    function = getattr(library, c_name)
    function.restype = {"void": None, "f64": ctypes.c_double}.get(result, ctypes.c_int32)
    function.argtypes = [_ctype(direction, kind) for direction, kind, _ in arguments]
    takes = [a for a in arguments if a[0] not in ("out", "size")]

    def call(*values):
        if len(values) != len(takes):
            raise TypeError(f"{python_name(c_name)}() takes {len(takes)} arguments ({len(values)} given)")
        given = iter(values)
        passed, outputs = [], []
        for direction, kind, count in arguments:
            if direction == "size":
                passed.append(int(kind))
            elif kind == "fmt":
                passed += [b"%s", ctypes.c_char_p(_encode(next(given)))]
            elif direction == "out":
                outputs.append((_out_buffer(kind, count), kind, count))
                passed.append(outputs[-1][0])
            elif direction == "in":
                items = list(next(given))
                passed.append((_SCALARS[kind] * len(items))(*items))
            elif kind == "str":
                passed.append(_encode(next(given)))
            else:
                passed.append(next(given))
        try:
            code = function(*passed)
        except ctypes.ArgumentError as error:
            raise TypeError(f"{python_name(c_name)}(): {error}") from None
        if result == "f64":
            return code
        if code is not None and code < 0:
            raise TevraError(c_name, code, last_error_text())
        if not outputs:
            return code
        values = [None if result == "i32?" and code == 0 else _output(*o) for o in outputs]
        return values[0] if len(values) == 1 else tuple(values)

    call.__name__ = python_name(c_name)
    call.__doc__ = f"{c_name}: {signature}"
    return call


functions = {c_name: _bind(c_name, signature) for c_name, signature in SIGNATURES.items()}
globals().update({python_name(c_name): call for c_name, call in functions.items()})


class Session:
    """Opens a session (Tevra_Init) on entry and always closes it (Tevra_Close) on exit; the module's functions
    are its methods."""

    def __init__(self, resource, flag_a=0, flag_b=0):
        self.resource = resource
        self.flags = (flag_a, flag_b)

    def __enter__(self):
        functions["Tevra_Init"](self.resource, *self.flags, 0, 0)
        return self

    def __exit__(self, kind, error, trace):
        try:
            functions["Tevra_Close"]()
        except TevraError:
            if error is None:
                raise
        return False

    def __getattr__(self, name):
        call = globals().get(name)
        if call is None or getattr(call, "__name__", None) != name:
            raise AttributeError(name)
        return call
