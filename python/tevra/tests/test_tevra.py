"""Tests of the tevra package against the library and simulator it finds (a build tree or an installation)."""
import re
import subprocess
import sys

import pytest

import tevra
from tevra import _library
from tevra._signatures import SIGNATURES
from tevra.sim import Simulator

# C parameter types and the signature kinds that may stand for them.
C_KINDS = {
    "int16_t": {"i16"}, "int32_t": {"i32", "size"}, "double": {"f64"}, "const char*": {"str"}, "char*": {"out text"},
    "int32_t*": {"out i32"}, "double*": {"out f64"}, "const int32_t*": {"in i32"},
    "const double*": {"in f64"}, "const char* ...": {"fmt"},
}
C_RESULTS = {"int32_t": {"i32", "i32?"}, "void": {"void"}, "double": {"f64"}}


def header_text():
    path = _library.header_path()
    assert path, "the package knows no tevra.h (its _location.py is missing)"
    with open(path, encoding="utf-8") as header:
        return header.read()


def header_exports():
    """{name: (result type, [parameter types])} of every TEVRA_API function in tevra.h."""
    text = re.sub(r"/\*.*?\*/", "", header_text(), flags=re.S)
    exports = {}
    for result, name, params in re.findall(r"^TEVRA_API\s+([\w\s*]+?)\s*(\w+)\s*\(([^)]*)\)", text, re.M):
        params = [p.strip() for p in params.split(",") if p.strip() not in ("", "void")]
        types = [p if p == "..." else re.sub(r"\s*\*\s*", "* ", p).rsplit(" ", 1)[0].strip() for p in params]
        if types[-2:] == ["const char*", "..."]:
            types[-2:] = ["const char* ..."]
        exports[name] = (result.strip(), types)
    return exports


def kind(argument):
    direction, base, count = argument
    if direction == "size":
        return "size"
    if direction == "in":
        return f"in {base}"
    return f"out {base}" if direction == "out" else base


def test_every_export_has_its_types_declared():
    exports = header_exports()
    assert len(exports) >= 50
    missing = sorted(set(exports) - set(SIGNATURES))
    assert not missing, f"exported by tevra.h but not declared in tevra/_signatures.py: {', '.join(missing)}"
    stale = sorted(set(SIGNATURES) - set(exports))
    assert not stale, f"declared in tevra/_signatures.py but not exported by tevra.h: {', '.join(stale)}"
    for name, (result, params) in exports.items():
        declared_result, arguments = tevra.parse_signature(SIGNATURES[name])
        assert declared_result in C_RESULTS[result], f"{name}: result {result} declared as {declared_result}"
        assert len(arguments) == len(params), f"{name}: {len(params)} parameters, {len(arguments)} declared"
        for position, (c_type, argument) in enumerate(zip(params, arguments), 1):
            assert kind(argument) in C_KINDS.get(c_type, ()), f"{name}: parameter {position} {c_type} " \
                f"declared as {kind(argument)}"


def test_versions_agree():
    version = re.search(r'#define TEVRA_VERSION_TEXT "([\d.]+)"', header_text()).group(1)
    assert tevra.__version__ == version
    shown = subprocess.run([_library.simulator_path(), "--version"], capture_output=True, text=True, check=True)
    assert shown.stdout == f"q7730-sim {version}\n"


@pytest.mark.parametrize("c_name, python_name", [
    ("Tevra_SetProperty", "set_property"), ("Tevra_GetCOMLastError", "get_com_last_error"),
    ("Tevra_ARBEx_Select_Sequence_11ag", "arb_ex_select_sequence_11ag"), ("Tevra_csvLog_Open", "csv_log_open"),
    ("Tevra_ARB_Select_SequenceEx", "arb_select_sequence_ex"), ("Zunt_enableServiceEx", "zunt_enable_service_ex"),
])
def test_python_names(c_name, python_name):
    assert tevra.python_name(c_name) == python_name


def test_arguments_are_converted_by_their_declared_types():
    assert tevra.set_property("CenterFrequency_MHz", 2437) == 1
    assert tevra.get_property("CenterFrequency_MHz") == 2437.0
    assert tevra.set_property("centerfrequency_mhz", 2412.5) == 1
    assert tevra.get_property("CENTERFREQUENCY_MHZ") == 2412.5
    assert tevra.get_property("NoSuchProperty") is None
    with pytest.raises(TypeError, match="set_primary_rf_port"):
        tevra.set_primary_rf_port(1.5)
    with pytest.raises(TypeError):
        tevra.set_property("CenterFrequency_MHz")
    block = tevra.stat_measurement(0)
    assert len(block) == 83


def test_failures_raise_with_the_text_of_the_call():
    cases = [
        (lambda: tevra.init_vi_session("TCPIP0::127.0.0.1::1::SOCKET"), "Tevra_InitViSession", -548),
        (lambda: tevra.arb_ex_select_sequence('a"b', -10.0, 0.0, 40), "Tevra_ARBEx_Select_Sequence", -7683),
        (lambda: tevra.init("TCPIP0::127.0.0.1::1::SOCKET", 0, 0, 0, 0), "Tevra_Init", -838),
    ]
    for call, function, code in cases:
        with pytest.raises(tevra.TevraError) as raised:
            call()
        assert (raised.value.function, raised.value.code) == (function, code)
        assert raised.value.text.startswith(f"ERR {code},"), raised.value.text
        assert str(raised.value) == f"{function} failed with {code}: {raised.value.text}"
        assert tevra.last_error_text() == ""


@pytest.fixture(scope="module")
def simulator():
    with Simulator() as running:
        yield running


def test_session_against_the_simulator(simulator):
    with tevra.Session(simulator.resource) as session:
        assert session.serial_number() == "SIM7730-0042"
        assert session.firmware_revision() == "3.12.0-sim"
        assert session.set_primary_rf_port(2) == 1
        assert session.get_primary_rf_port() == 2
        assert session.arb_select_sequence("CW_TONE", -10.0, 2412.0, 40) == 0
        with pytest.raises(tevra.TevraError, match="Tevra_ARB_Select_Sequence failed with -7063: ERR -7063,"):
            session.arb_select_sequence("NOPE", -10.0, 2412.0, 40)
    assert tevra.close() == 1


def test_the_session_is_closed_when_its_block_fails(simulator):
    with pytest.raises(ZeroDivisionError):
        with tevra.Session(simulator.resource):
            assert tevra.serial_number() == "SIM7730-0042"
            print(1 / 0)
    assert tevra.close() == 1


def test_sim_module_prints_its_resource():
    process = subprocess.Popen([sys.executable, "-m", "tevra.sim"], stdout=subprocess.PIPE, text=True)
    try:
        assert re.fullmatch(r"TCPIP0::127\.0\.0\.1::\d+::SOCKET\n", process.stdout.readline())
    finally:
        process.terminate()
        assert process.wait(timeout=10) == 0
        process.stdout.close()
