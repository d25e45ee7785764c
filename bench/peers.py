#!/usr/bin/env python3
"""Our operations against OpenCV and scikit-image on the same 2048 x 2048 pictures.

Runs bench_large (Google Benchmark, one thread: KVADRA_THREADS=1) and times OpenCV
(cv2.setNumThreads(1)) and scikit-image on the pictures bench_large writes, in the same run,
best of several repetitions each. Prints the peer table (work, ours, OpenCV, ratio, skimage)
and every other operation timed alone against its limit.

  bench/peers.py [--build DIR] [--quick] [--markdown] [--only REGEX]
  bench/peers.py [--build DIR] --total-variation

--quick     a fast smoke run: few repetitions, the peer works only.
--markdown  the peer table as the README shows it, with the machine it ran on.
--total-variation  only the total-variation filter's pictures against scikit-image's.

Installs Debian's python3-opencv and python3-skimage with apt-get when they are missing.
"""
import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import time

# One thread for the peers as for us; set before numpy and OpenCV load their thread pools.
for _var in ("OMP_NUM_THREADS", "OPENBLAS_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ.setdefault(_var, "1")

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PEER_PACKAGES = ["python3-opencv", "python3-skimage"]

# Operations whose limit is 400 ms (timed on the salt-and-pepper picture); all others 200 ms.
DETECTOR_FILTERS = {"PSM Filter", "APSM Filter", "Tamsel Filter", "Adaptive Median Filter"}


SYSTEM_PYTHON = "/usr/bin/python3"


def importable(python):
    return subprocess.run([python, "-c", "import cv2, skimage"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


def ensure_peer_libraries():
    """Debian's packages serve Debian's interpreter; another python3 first on PATH (pyenv,
    a virtual environment) hands the run over to it."""
    try:
        import cv2  # noqa: F401
        import skimage  # noqa: F401
        return
    except ImportError:
        pass
    if not importable(SYSTEM_PYTHON):
        command = ["apt-get", "install", "-y", "--no-install-recommends"] + PEER_PACKAGES
        if os.geteuid() != 0:
            command = ["sudo", "-n"] + command
        print("installing " + " ".join(PEER_PACKAGES) + " ...", file=sys.stderr)
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        if subprocess.run(command, env=env, stdout=subprocess.DEVNULL).returncode != 0 or \
                not importable(SYSTEM_PYTHON):
            sys.exit("peers.py: could not install " + " ".join(PEER_PACKAGES) +
                     " (run as root or: sudo apt-get install " + " ".join(PEER_PACKAGES) + ")")
    if os.path.realpath(sys.executable) != os.path.realpath(SYSTEM_PYTHON):
        os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON, os.path.abspath(__file__)] + sys.argv[1:])
    sys.exit("peers.py: " + SYSTEM_PYTHON + " cannot import cv2 and skimage")


def bench_program(build):
    program = os.path.join(build, "bin", "bench_large")
    if not os.access(program, os.X_OK):
        sys.exit("peers.py: %s not found; build the benchmarks first "
                 "(cmake --build %s --target bench_large)" % (program, build))
    return program


def write_pictures(program, folder):
    """bench_large writes the pictures it times us on; the peers read the same files."""
    env = dict(os.environ, KVADRA_BENCH_PICTURES=folder, KVADRA_THREADS="1")
    subprocess.run([program, "--benchmark_filter=^$"], env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for name in ("grey.bmp", "colour.bmp", "saltpepper.bmp"):
        if not os.path.exists(os.path.join(folder, name)):
            sys.exit("peers.py: bench_large did not write " + name)


def benchmark_names(program):
    result = subprocess.run([program, "--benchmark_list_tests=true"], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True, env=dict(os.environ, KVADRA_THREADS="1"))
    return [re.sub(r"/manual_time$", "", line.strip()) for line in result.stdout.splitlines() if line.strip()]


def exact_filter(names):
    """A benchmark filter matching exactly these names (operation names hold parentheses)."""
    escaped = [re.sub(r"([.^$|()\[\]{}*+?\\])", r"\\\1", n) for n in names]
    return "^(" + "|".join(escaped) + ")(/manual_time)?$"


def run_ours(program, names, quick, repetitions=9):
    """Best time in ms of each of the named benchmarks."""
    if not names:
        return {}
    env = dict(os.environ, KVADRA_THREADS="1")
    command = [program, "--benchmark_format=json", "--benchmark_filter=" + exact_filter(names)]
    # Short repetitions (one or a few runs each) and their best, as for the peers: on a shared
    # machine the mean of a long repetition counts every other program's interruptions.
    command += ["--benchmark_repetitions=%d" % (1 if quick else repetitions), "--benchmark_min_time=0.02"]
    result = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        sys.exit("peers.py: bench_large failed:\n" + result.stderr)
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
    best = {}
    for entry in json.loads(result.stdout)["benchmarks"]:
        if entry.get("run_type") == "aggregate" or entry.get("error_occurred"):
            continue
        name = re.sub(r"/manual_time$", "", entry["name"])
        ms = entry["real_time"] * scale[entry["time_unit"]]
        best[name] = min(ms, best.get(name, ms))
    return best


def best_ms(work, repetitions, warm_up=True):
    if warm_up:
        work()  # first touch of buffers and code, not timed
    best = float("inf")
    for _ in range(repetitions):
        started = time.perf_counter()
        work()
        best = min(best, time.perf_counter() - started)
    return best * 1e3


def peer_works(folder):
    """(benchmark name, description, OpenCV work, scikit-image work or None)."""
    import cv2
    import numpy as np
    from skimage import filters, morphology, transform, util
    from skimage.filters import rank

    cv2.setNumThreads(1)
    grey = cv2.imread(os.path.join(folder, "grey.bmp"), cv2.IMREAD_GRAYSCALE)
    colour = cv2.imread(os.path.join(folder, "colour.bmp"), cv2.IMREAD_COLOR)
    square = np.ones((3, 3), np.uint8)
    side = grey.shape[0]

    def per_channel(f, image):
        if image.ndim == 2:
            return f(image)
        return np.dstack([f(image[:, :, c]) for c in range(image.shape[2])])

    def box(size, image):
        return np.ones((size, size) + ((1,) if image.ndim == 3 else ()), bool)

    works = []
    for size in (3, 5):
        for label, image in (("Grey", grey), ("Colour", colour)):
            works.append(("Peer/Median%s%dx%d" % (label, size, size),
                          "median %dx%d, %s" % (size, size, label.lower()),
                          lambda i=image, s=size: cv2.medianBlur(i, s),
                          lambda i=image, s=size: filters.median(i, box(s, i))))
    for kind, cv, sk in (("Maximum", cv2.dilate, morphology.dilation), ("Minimum", cv2.erode, morphology.erosion)):
        for label, image in (("Grey", grey), ("Colour", colour)):
            works.append(("Peer/%s%s3x3" % (kind, label), "%s 3x3, %s" % (kind.lower(), label.lower()),
                          lambda i=image, f=cv: f(i, square),
                          lambda i=image, f=sk: f(i, box(3, i))))
    works.append(("Peer/MeanColour3x3", "arithmetic mean 3x3, colour",
                  lambda: cv2.blur(colour, (3, 3)),
                  lambda: per_channel(lambda p: rank.mean(p, square), colour)))
    works.append(("Peer/InvertColour", "invert, colour",
                  lambda: cv2.bitwise_not(colour), lambda: util.invert(colour)))
    works.append(("Peer/FlipVerticalColour", "flip vertical, colour", lambda: cv2.flip(colour, 0), None))
    works.append(("Peer/FlipHorizontalColour", "flip horizontal, colour", lambda: cv2.flip(colour, 1), None))
    works.append(("Peer/BicubicGrey2048to1024", "bicubic %d -> %d, grey" % (side, side // 2),
                  lambda: cv2.resize(grey, (side // 2, side // 2), interpolation=cv2.INTER_CUBIC),
                  lambda: transform.resize(grey, (side // 2, side // 2), order=3, anti_aliasing=False,
                                           preserve_range=True)))
    return works


def goal_of(name):
    return 3.0 if "Bicubic" in name else 1.5


def machine():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return "%s, %d cores" % (model, os.cpu_count() or 1)


def fmt(ms):
    return "-" if ms is None else ("%.2f" % ms if ms < 100 else "%.0f" % ms)


# (weight, iterations, tolerance) for the total-variation comparison: the default, a run to the
# iteration limit, strong smoothing with an early stop, the weakest weight.
TV_SETTINGS = [(0.1, 200, 0.0002), (0.05, 100, 0.0), (1.0, 300, 0.0001), (2.0, 60, 0.0), (0.001, 20, 0.0)]


def compare_total_variation(build, repetitions=3):
    """Our "Total Variation Filter" against scikit-image's denoise_tv_chambolle (same weight,
    tolerance and iterations, channels alone) on the grey and colour samples with Gaussian noise
    of sd 20: the largest difference after rounding (at most one grey level holds) and the run
    time of each, one thread. Returns how many comparisons exceed one level."""
    import cv2
    import numpy as np
    from skimage.restoration import denoise_tv_chambolle

    kvadra = os.path.join(build, "bin", "kvadra")
    if not os.access(kvadra, os.X_OK):
        sys.exit("peers.py: %s not found; build it first (cmake --build %s --target kvadra)" % (kvadra, build))
    rng = np.random.default_rng(30)
    failed = 0
    print("%-10s %7s %5s %9s %9s %9s %9s %9s" % ("picture", "weight", "iter", "tolerance", "max diff",
                                                 "differ %", "ours ms", "skimage ms"))
    with tempfile.TemporaryDirectory(prefix="kvadra-tv-") as folder:
        for name, mode in (("camera", cv2.IMREAD_GRAYSCALE), ("astronaut", cv2.IMREAD_COLOR)):
            clean = cv2.imread(os.path.join(ROOT, "samples", name + ".bmp"), mode)
            noisy = np.clip(np.round(clean + 20.0 * rng.standard_normal(clean.shape)), 0, 255).astype(np.uint8)
            source, result = os.path.join(folder, "noisy.bmp"), os.path.join(folder, "tv.bmp")
            cv2.imwrite(source, noisy)
            for weight, iterations, tolerance in TV_SETTINGS:
                command = [kvadra, "run", source, "--threads", "1", "--op", "Total Variation Filter",
                           "--set", "Weight=%g" % weight, "--set", "Iterations=%d" % iterations,
                           "--set", "Tolerance=%g" % tolerance, "--out", result]
                ours_ms = float("inf")
                for _ in range(repetitions):
                    run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
                    if run.returncode != 0:
                        sys.exit("peers.py: kvadra failed:\n" + run.stderr)
                    ours_ms = min(ours_ms, float(run.stdout.strip().splitlines()[-1].split("\t")[-1]))
                ours = cv2.imread(result, mode).astype(int)
                channel_axis = -1 if noisy.ndim == 3 else None
                peer = {}

                def theirs():
                    peer["out"] = denoise_tv_chambolle(noisy, weight=weight, eps=tolerance, max_num_iter=iterations,
                                                       channel_axis=channel_axis)
                sk_ms = best_ms(theirs, repetitions, warm_up=False)
                expected = np.round(np.clip(peer["out"] * 255.0, 0, 255)).astype(int)
                diff = np.abs(ours - expected)
                failed += int(diff.max() > 1)
                print("%-10s %7g %5d %9g %9d %9.4f %9s %9s%s" % (name, weight, iterations, tolerance, diff.max(),
                                                                100.0 * np.mean(diff > 0), fmt(ours_ms), fmt(sk_ms),
                                                                "  over one level" if diff.max() > 1 else ""))
    print("%d comparisons over one grey level" % failed)
    return failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build"), help="build folder (default: build)")
    parser.add_argument("--quick", action="store_true", help="fast smoke run: few repetitions, peer works only")
    parser.add_argument("--markdown", action="store_true", help="print the README table with the machine")
    parser.add_argument("--only", metavar="REGEX", help="only the works and operations whose benchmark "
                        "name (Peer/..., Alone/...) matches")
    parser.add_argument("--total-variation", action="store_true", help="only compare the total-variation "
                        "filter's pictures with scikit-image's (needs kvadra, not the benchmarks)")
    args = parser.parse_args()

    ensure_peer_libraries()
    if args.total_variation:
        sys.exit(1 if compare_total_variation(os.path.abspath(args.build)) else 0)
    import cv2
    import skimage

    program = bench_program(os.path.abspath(args.build))
    repetitions = 2 if args.quick else 7
    with tempfile.TemporaryDirectory(prefix="kvadra-peers-") as folder:
        write_pictures(program, folder)
        selected = re.compile(args.only) if args.only else None
        works = [w for w in peer_works(folder) if not selected or selected.search(w[0])]
        ours = run_ours(program, [w[0] for w in works], args.quick)
        rows = []
        for name, description, cv_work, sk_work in works:
            theirs = best_ms(cv_work, repetitions)
            # scikit-image takes seconds where OpenCV takes milliseconds: fewer runs of it.
            sk = best_ms(sk_work, 1 if args.quick else 3, warm_up=not args.quick) if sk_work else None
            mine = ours.get(name)
            rows.append((description, mine, theirs, None if mine is None else mine / theirs, sk, goal_of(name)))
        alone_names = [n for n in benchmark_names(program)
                       if n.startswith("Alone/") and (not selected or selected.search(n))]
        alone = {} if args.quick else run_ours(program, alone_names, False, repetitions=3)

    if args.markdown:
        print("| work | ours | OpenCV | ratio | scikit-image |")
        print("|---|---|---|---|---|")
        for description, mine, theirs, ratio, sk, _ in rows:
            print("| %s | %s ms | %s ms | %s | %s |" % (description, fmt(mine), fmt(theirs),
                                                     "-" if ratio is None else "%.1fx" % ratio,
                                                     "-" if sk is None else fmt(sk) + " ms"))
        print()
        print("2048 x 2048 pictures, one thread, %s; %s; OpenCV %s, scikit-image %s "
              "(`bench/peers.py --markdown`)." % ("one run each (quick)" if args.quick else "best of several runs",
                                                  machine(), cv2.__version__, skimage.__version__))
        return

    print("Machine: %s; OpenCV %s, scikit-image %s; one thread%s" %
          (machine(), cv2.__version__, skimage.__version__, "; quick run" if args.quick else ""))
    print()
    print("%-30s %10s %10s %8s %6s %12s" % ("work (2048 x 2048)", "ours ms", "OpenCV ms", "ratio", "goal", "skimage ms"))
    failed = 0
    for description, mine, theirs, ratio, sk, goal in rows:
        mark = "" if ratio is None or ratio <= goal else "  over"
        failed += bool(mark)
        print("%-30s %10s %10s %8s %6s %12s%s" % (description, fmt(mine), fmt(theirs),
                                                 "-" if ratio is None else "%.1fx" % ratio, "%.1fx" % goal,
                                                 fmt(sk), mark))
    if alone:
        print()
        print("%-36s %10s %8s" % ("operation alone (2048 x 2048 colour)", "ours ms", "limit"))
        for name in sorted(alone, key=lambda n: -alone[n]):
            operation = name[len("Alone/"):]
            limit = 400 if operation in DETECTOR_FILTERS else 200
            mark = "" if alone[name] <= limit else "  over"
            failed += bool(mark)
            note = " (20 % salt-and-pepper)" if operation in DETECTOR_FILTERS else ""
            print("%-36s %10s %6d ms%s%s" % (operation, fmt(alone[name]), limit, mark, note))
    print()
    print("%d over their goal" % failed)


if __name__ == "__main__":
    main()
