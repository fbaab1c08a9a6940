"""Runs the README's quick starts as written, as a normal user, against an installation into a new prefix.

The fenced code blocks of README.md are the test: a block whose info string names a file ("c app.c") is
written to that file, the bash blocks run in order in one shell with PREFIX set and nothing else in the
environment but PATH and HOME. Run as root, the test runs them as nobody, which can write only its work folder:
the installation then cannot have written anywhere else, the build tree included.

Usage: readme_test.py SOURCE-DIR BUILD-DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

BLOCK = re.compile(r"^```(\w+)(?: (\S+))?\n(.*?)^```$", re.M | re.S)


def readme_blocks(source):
    with open(os.path.join(source, "README.md"), encoding="utf-8") as readme:
        return BLOCK.findall(readme.read())


def as_user(command):
    if os.geteuid() != 0:
        return command
    return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"] + command


def run(command, work, prefix):
    environment = {"PATH": "/usr/bin:/bin", "HOME": work, "PREFIX": prefix}
    done = subprocess.run(as_user(command), cwd=work, env=environment, capture_output=True, text=True,
                          timeout=600)
    return done.returncode, done.stdout + done.stderr


def check_binaries(paths):
    """Every installed library has a versioned SONAME, and every program and library an $ORIGIN RUNPATH."""
    assert len(paths) >= 4, paths
    for path in paths:
        dynamic = subprocess.run(["readelf", "-d", path], capture_output=True, text=True, check=True).stdout
        assert re.search(r"RUNPATH.*\[\$ORIGIN", dynamic), f"{path} has no $ORIGIN RUNPATH"
        if ".so." in path:
            assert re.search(r"SONAME.*\.so\.\d+\]", dynamic), f"{path} has no versioned SONAME"


def main(source, build):
    with open(os.path.join(source, "include", "tevra.h"), encoding="utf-8") as header:
        version = re.search(r'#define TEVRA_VERSION_TEXT "([\d.]+)"', header.read()).group(1)
    work = tempfile.mkdtemp(prefix="tevra-install-")
    try:
        prefix = os.path.join(work, "prefix")
        os.symlink(os.path.abspath(build), os.path.join(work, "build"))
        script = ["set -euo pipefail"]
        for language, name, text in readme_blocks(source):
            if name:
                with open(os.path.join(work, name), "w", encoding="utf-8") as file:
                    file.write(text)
            elif language == "bash":
                script.append(text)
        with open(os.path.join(work, "quickstart.sh"), "w", encoding="utf-8") as file:
            file.write("\n".join(script))
        if os.geteuid() == 0:
            shutil.chown(work, "nobody", "nogroup")
        code, output = run(["bash", "quickstart.sh"], work, prefix)
        print(output)
        assert code == 0, f"the README's commands failed ({code})"
        expected = [
            f"-- tevra {version}\n", f"driver {version}, instrument SIM7730-0042\n" * 2, f"\n{version}\n",
            f"q7730-sim {version}\n", "instrument SIM7730-0042\ncenter 2437.0 MHz\n",
            "Tevra_ARBEx_Select_Sequence -7683 ERR -7683,sequence name 'bad\"name' refused\n", " passed",
        ]
        for text in expected:
            assert text in output, f"missing from the output: {text!r}"
        assert " failed" not in output and " error" not in output

        with open(os.path.join(prefix, "share", "tevra", "install_manifest.txt"), encoding="utf-8") as manifest:
            installed = manifest.read().split()
        outside = [path for path in installed if not path.startswith(prefix + "/")]
        assert not outside, f"installed outside the prefix: {outside}"
        check_binaries([p for p in installed if re.search(r"/bin/|\.so\.[\d.]+$", p) and not os.path.islink(p)])

        registry = os.path.join(prefix, "etc", "tevra", "registry.reg")
        os.rename(registry, registry + ".away")
        code, output = run(["./app-pc", "TCPIP0::127.0.0.1::1::SOCKET"], work, prefix)
        assert code == 1, output
        assert output.startswith(f"no session: ERR -698,L624,0x800401F3,Invalid class string, "
                                 f"Bextora_Q7730_WLanTest.Instrument is not registered in {registry}"), output
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("README quick starts ran as written")


if __name__ == "__main__":
    main(*sys.argv[1:3])
