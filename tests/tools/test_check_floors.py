"""The floor check passes on the kernel and catches an upward include and a file outside the floors."""
import pathlib
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(sys.argv[1])
CHECK = ROOT / "tools" / "check_floors.py"


def run(kernel):
    done = subprocess.run([sys.executable, str(CHECK), str(kernel)], capture_output=True, text=True)
    return done.returncode, done.stdout


def tree(files):
    folder = pathlib.Path(tempfile.mkdtemp())
    for name, text in files.items():
        (folder / name).parent.mkdir(parents=True, exist_ok=True)
        (folder / name).write_text(text)
    return folder


CASES = [
    # name, files, expected exit, words the report must hold
    ("down and level", {"kvOperations/a.h": '#include "kvPixels/b.h"\n#include "kvOperations/c.h"\n',
                        "kvPixels/b.h": '#include "kvRuntime/d.h"\n'}, 0, []),
    ("upward", {"kvPixels/b.h": '#include "kvOperations/a.h"\n'}, 1, ["kvPixels/b.h", "kvOperations/a.h"]),
    ("outside the floors", {"loose.cpp": '#include "kvPixels/b.h"\n'}, 1, ["loose.cpp"]),
]

failures = []
code, report = run(ROOT / "kernel")
if code != 0:
    failures.append("the kernel breaks its floors:\n" + report)
for name, files, expected, words in CASES:
    code, report = run(tree(files))
    if code != expected or any(word not in report for word in words):
        failures.append(f"{name}: exit {code}, report:\n{report}")
print("\n".join(failures) or "all floor checks behave")
sys.exit(1 if failures else 0)
