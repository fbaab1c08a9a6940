"""Fails when two call sites in the driver store the same position number.

A failure text quotes the position number of the server call that failed, so each number must name one
call site. Position numbers reach the code as literal arguments of server::at, setPosition or of any function
whose parameter is named position (or ...Position); this collects those literals from src/ and reports every
number that appears at more than one place.
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".") / "src"
sources = {path: path.read_text(errors="replace") for path in sorted(root.rglob("*")) if path.suffix in (".cpp", ".h")}

takers = {"at", "setPosition"}
declaration = re.compile(r"\b(\w+)\s*\(([^()]*)\)")
for text in sources.values():
    for name, params in declaration.findall(text):
        if re.search(r"\bint32_t\s+\w*[pP]osition\b", params):
            takers.add(name)

call = re.compile(r"\b(" + "|".join(sorted(takers)) + r")\s*(?:<[^;(){}]*>)?\(([^()]*)\)")
seen = {}
for path, text in sources.items():
    for line_number, line in enumerate(text.splitlines(), 1):
        if line.lstrip().startswith("//"):
            continue
        for _, args in call.findall(line):
            for number in re.findall(r"(?<![\w.])(\d{3,5})(?![\w.])", args):
                seen.setdefault(int(number), []).append(f"{path.relative_to(root.parent)}:{line_number}")

duplicates = {number: places for number, places in seen.items() if len(places) > 1}
for number, places in sorted(duplicates.items()):
    print(f"position number {number} is used at {', '.join(places)}")
print(f"{len(seen)} position numbers, {len(duplicates)} used more than once")
sys.exit(1 if duplicates else 0)
