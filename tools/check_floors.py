#!/usr/bin/env python3
"""Lists every kernel include that points to a higher floor; exits 1 when there is one.

The kernel is built in floors, each a folder (or two) under kernel/. Code may include its own
floor and the floors below it, never one above: a picture must not know the operations that
process it, nor an operation the server that runs it.
"""
import pathlib
import re
import sys

FLOORS = [
    ("runtime: worker pool, plane buffers, settings, the event host", ["kvRuntime", "kvMessages"]),
    ("pictures: surfaces, pixels and their wavelet transforms", ["kvPixels", "kvWavelet"]),
    ("file readers and writers", ["kvFiles"]),
    ("measures: channel properties, quality indices and their threads", ["kvMeasures"]),
    ("images: a history picture with its pixels, load and measures", ["kvImages"]),
    ("operations", ["kvOperations"]),
    ("history and processing", ["kvProcessing"]),
    ("analyzer", ["kvAnalysis"]),
    ("facade", ["kvFacade"]),
]
FLOOR_OF = {folder: level for level, (_, folders) in enumerate(FLOORS, 1) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def floor_of(path: str):
    """The floor of a kernel path relative to kernel/, or None for a file outside the floors."""
    head = path.split("/", 1)[0]
    return FLOOR_OF.get(head)


def check(kernel: pathlib.Path):
    problems = []
    for source in sorted(kernel.rglob("*")):
        if source.suffix not in (".h", ".cpp") or not source.is_file():
            continue
        relative = source.relative_to(kernel).as_posix()
        own = floor_of(relative)
        if own is None:
            problems.append(f"{relative}: lies outside every floor folder")
            continue
        for included in INCLUDE.findall(source.read_text(encoding="utf-8", errors="replace")):
            target = floor_of(included)
            if target is None:
                if (kernel / included).exists() or "/" not in included:
                    problems.append(f"{relative}: includes \"{included}\", which lies outside every floor folder")
                continue
            if target > own:
                problems.append(
                    f"{relative} (floor {own}, {FLOORS[own - 1][0]}) includes \"{included}\" "
                    f"(floor {target}, {FLOORS[target - 1][0]})")
    return problems


def main():
    kernel = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent / "kernel")
    problems = check(kernel)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) break the kernel's floors")
        return 1
    print("kernel floors: no include points upwards")
    return 0


if __name__ == "__main__":
    sys.exit(main())
