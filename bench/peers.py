#!/usr/bin/env python3
"""Our operations against OpenCV and scikit-image on the same 2048 x 2048 pictures.

Runs bench_large (Google Benchmark, one thread: KVADRA_THREADS=1) and times OpenCV
(cv2.setNumThreads(1)) and scikit-image on the pictures bench_large writes, in the same run,
best of several repetitions each. Prints the peer table (work, ours, OpenCV, ratio, skimage)
and every other operation timed alone against its limit.

  bench/peers.py [--build DIR] [--quick] [--markdown] [--only REGEX]
  bench/peers.py --nonlocal [--set12 DIR] [--build DIR] [--quick] [--markdown] [--strengths 0.4,0.8]
  bench/peers.py [--build DIR] --check noise-sigma|wavelet-shrinkage
  bench/peers.py [--build DIR] --total-variation

--quick     a fast smoke run: few repetitions, the peer works only.
--markdown  the peer table as the README shows it, with the machine it ran on.
--nonlocal  instead: "Non-Local Means" against scikit-image's denoise_nl_means (PSNR) and
            OpenCV's fastNlMeansDenoising (time) on the Set12 pictures with Gaussian noise.
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

# Operations with goals of their own, measured by their own comparison rather than alone.
OWN_GOALS = {"Non-Local Means", "BM3D Filter"}


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


def bm3d_speed(build, quick):
    """BM3D at 512 x 512, sigma 25 (and 50), from bench_bm3d: (label, ms, goal text) rows, best of runs."""
    program = os.path.join(build, "bin", "bench_bm3d")
    if not os.access(program, os.X_OK):
        return []
    command = [program, "--benchmark_format=json", "--benchmark_repetitions=%d" % (1 if quick else 3)]
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    if result.returncode != 0:
        return []
    best = {}
    for entry in json.loads(result.stdout)["benchmarks"]:
        if entry.get("run_type") == "aggregate" or entry.get("error_occurred"):
            continue
        key = re.sub(r"/min_time:.*$", "", entry["name"])
        best[key] = min(entry["real_time"], best.get(key, entry["real_time"]))
    grey = best.get("BM_BM3D/channels:1/threads:1/fast:0/sigma:25")
    two = best.get("BM_BM3D/channels:1/threads:2/fast:0/sigma:25")
    colour = best.get("BM_BM3D/channels:3/threads:1/fast:0/sigma:25")
    fast = best.get("BM_BM3D/channels:1/threads:1/fast:1/sigma:25")
    strong = best.get("BM_BM3D/channels:1/threads:1/fast:0/sigma:50")
    rows = [("BM3D grey, one thread", grey, "at most 2000 ms"),
            ("BM3D grey, two threads", two, "at least 1.7x faster: %s" % ("-" if not (grey and two) else
                                                                     "%.2fx" % (grey / two))),
            ("BM3D colour, one thread", colour, "at most 3x grey: %s" % ("-" if not (grey and colour) else
                                                                        "%.2fx" % (colour / grey))),
            ("BM3D grey, Fast, one thread", fast, ""),
            ("BM3D grey, sigma 50, one thread", strong, "")]
    return rows


def nonlocal_means(build, set12, quick, markdown, sigmas, strengths):
    """Our "Non-Local Means" beside scikit-image's denoise_nl_means with fast_mode=False and the
    same patch size (2 x radius + 1), search distance, h (Strength x Sigma) and sigma, both on
    the same noisy 8-bit pictures (Gaussian noise, rounded and clipped), their result rounded to
    8 bits as ours is; and our run time (what the kernel reports, one thread) beside OpenCV's
    fastNlMeansDenoising with template 7 and search 21 (one thread) on the 512 x 512 ones, whose
    cost does not depend on h. Goals: at most 0.1 dB below scikit-image, at most 1.5x OpenCV."""
    import csv
    import cv2
    import numpy as np
    import skimage
    from skimage.restoration import denoise_nl_means

    cv2.setNumThreads(1)
    program = os.path.join(build, "bin", "kvadra")
    if not os.access(program, os.X_OK):
        sys.exit("peers.py: %s not found; build it first (cmake --build %s --target kvadra)" % (program, build))
    files = sorted(f for f in os.listdir(set12) if f.endswith(".png")) if os.path.isdir(set12) else []
    if not files:
        sys.exit("peers.py: no Set12 pictures in " + set12 + " (--set12 DIR)")
    if quick:
        files = files[::4]  # two 256 x 256 pictures and one 512 x 512
    patch, search = 3, 10

    def psnr(a, b):
        mse = np.mean((a.astype(np.float64) - b.astype(np.float64)) ** 2)
        return 10 * np.log10(255.0 ** 2 / mse)

    rows = []
    with tempfile.TemporaryDirectory(prefix="kvadra-nlm-") as folder:
        for sigma, strength in [(s, k) for s in sigmas for k in strengths]:
            h = strength * sigma
            ours_db, theirs_db, ours_ms, cv_ms = [], [], [], []
            for index, name in enumerate(files):
                clean = cv2.imread(os.path.join(set12, name), cv2.IMREAD_GRAYSCALE)
                rng = np.random.default_rng(int(1000 * sigma) + index)
                noisy = np.clip(np.rint(clean + rng.normal(0.0, sigma, clean.shape)), 0, 255).astype(np.uint8)
                noisy_file = os.path.join(folder, "noisy.png")
                out_file = os.path.join(folder, "ours.png")
                history = os.path.join(folder, "history.csv")
                cv2.imwrite(noisy_file, noisy)
                runs = 1 if quick or clean.shape != (512, 512) else 3
                times = []
                for _ in range(runs):
                    command = [program, "run", noisy_file, "--threads", "1", "--op", "Non-Local Means",
                               "--set", "Sigma=%g" % sigma, "--set", "Patch radius=%d" % patch,
                               "--set", "Search radius=%d" % search, "--set", "Strength=%g" % strength,
                               "--out", out_file, "--history", history]
                    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                    with open(history) as f:
                        times.append(float(list(csv.DictReader(f))[-1]["time_ms"]))
                ours = cv2.imread(out_file, cv2.IMREAD_GRAYSCALE)
                theirs = denoise_nl_means(noisy.astype(np.float64), patch_size=2 * patch + 1, patch_distance=search,
                                          h=h, sigma=sigma, fast_mode=False, preserve_range=True)
                theirs = np.clip(np.rint(theirs), 0, 255).astype(np.uint8)
                ours_db.append(psnr(ours, clean))
                theirs_db.append(psnr(theirs, clean))
                if clean.shape == (512, 512):
                    ours_ms.append(min(times))
                    cv_ms.append(best_ms(lambda n=noisy: cv2.fastNlMeansDenoising(n, None, h, 7, 21), runs))
            rows.append((sigma, strength, len(files), float(np.mean(ours_db)), float(np.mean(theirs_db)),
                         float(np.mean(ours_ms)) if ours_ms else None, float(np.mean(cv_ms)) if cv_ms else None))

    note = ("Set12 (%d pictures), patch radius %d, search radius %d; %s; %s; "
            "OpenCV %s, scikit-image %s (`bench/peers.py --nonlocal%s`)." %
            (len(files), patch, search, "one run each (quick)" if quick else "best of 3 runs",
             machine(), cv2.__version__, skimage.__version__, " --quick" if quick else ""))
    if markdown:
        print("| sigma | Strength | ours dB | scikit-image dB | difference | ours ms (512 x 512) | OpenCV ms | ratio |")
        print("|---|---|---|---|---|---|---|---|")
        for sigma, strength, _, mine, sk, ms, cv in rows:
            print("| %g | %g | %.2f | %.2f | %+.2f | %s | %s | %s |" % (sigma, strength, mine, sk, mine - sk,
                                                                     fmt(ms), fmt(cv),
                                                                "-" if not ms else "%.2fx" % (ms / cv)))
        print()
        print(note)
        return
    print(note)
    print()
    print("%6s %8s %9s %12s %8s %10s %10s %7s" % ("sigma", "Strength", "ours dB", "skimage dB", "diff", "ours ms",
                                                  "OpenCV ms", "ratio"))
    failed = 0
    for sigma, strength, _, mine, sk, ms, cv in rows:
        marks = ("  below" if mine < sk - 0.1 else "") + ("  over" if ms and ms > 1.5 * cv else "")
        failed += bool(marks)
        print("%6g %8g %9.2f %12.2f %+8.2f %10s %10s %7s%s" % (sigma, strength, mine, sk, mine - sk, fmt(ms), fmt(cv),
                                                           "-" if not ms else "%.2fx" % (ms / cv), marks))
    print()
    print("%d over their goal (quality: at most 0.1 dB below scikit-image; time: at most 1.5x OpenCV)" % failed)


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
    parser.add_argument("--nonlocal", dest="nonlocal_means", action="store_true",
                        help="compare non-local means with scikit-image and OpenCV instead")
    parser.add_argument("--set12", default=os.path.join(os.path.dirname(ROOT), "shared", "benchmarks", "Set12"),
                        help="folder of the Set12 pictures (default: ../shared/benchmarks/Set12)")
    parser.add_argument("--sigmas", default="15,25,50", help="noise deviations of --nonlocal (default: 15,25,50)")
    # Our default Strength, and the h of about 0.8 sigma scikit-image's documentation works with.
    parser.add_argument("--strengths", default="0.4,0.8", help="Strength (h / sigma) of --nonlocal "
                        "(default: 0.4,0.8)")
    parser.add_argument("--check", choices=sorted(QUALITY_CHECKS), help="compare the results (not the speed) "
                        "of one of our operations with scikit-image's, and nothing else")
    parser.add_argument("--total-variation", action="store_true", help="only compare the total-variation "
                        "filter's pictures with scikit-image's (needs kvadra, not the benchmarks)")
    args = parser.parse_args()
    if args.check:
        sys.exit(QUALITY_CHECKS[args.check](os.path.abspath(args.build)))

    ensure_peer_libraries()
    if args.nonlocal_means:
        nonlocal_means(os.path.abspath(args.build), args.set12, args.quick, args.markdown,
                       [float(s) for s in args.sigmas.split(",")], [float(k) for k in args.strengths.split(",")])
        return
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
                       if n.startswith("Alone/") and n[len("Alone/"):] not in OWN_GOALS
                       and (not selected or selected.search(n))]
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
    bm3d = [] if selected and not selected.search("BM3D") else bm3d_speed(os.path.abspath(args.build), args.quick)
    if bm3d:
        print()
        print("%-36s %10s  %s" % ("BM3D, 512 x 512, sigma 25", "ours ms", "goal"))
        for label, ms, goal in bm3d:
            print("%-36s %10s  %s" % (label, fmt(ms), goal))
    print()
    print("%d over their goal" % failed)


# ---------------------------------------------------------------- result comparisons

def kvadra_program(build):
    program = os.path.join(build, "bin", "kvadra")
    if not os.access(program, os.X_OK):
        sys.exit("peers.py: build the kvadra target first (%s)" % program)
    return program


def noisy_samples(folder, sigmas, seed=30):
    """The sample pictures with Gaussian noise of each sigma (grey levels), rounded and clipped
    like our noises: yields (name, sigma, clean, noisy, file of the noisy picture)."""
    import numpy as np
    from skimage import io
    rng = np.random.default_rng(seed)
    for name in ("camera.bmp", "coins.bmp", "astronaut.bmp", "chelsea.bmp"):
        clean = io.imread(os.path.join(ROOT, "samples", name))
        for sigma in sigmas:
            noisy = np.clip(np.round(clean + rng.normal(0.0, sigma, clean.shape)), 0, 255).astype(np.uint8)
            path = os.path.join(folder, "%s-%g.png" % (name[:-4], sigma))
            io.imsave(path, noisy, check_contrast=False)
            yield name, sigma, clean, noisy, path


def check_noise_sigma(build):
    """"Noise sigma" (kvadra estimate) against skimage.restoration.estimate_sigma: within 1 %
    on grey pictures; colour pictures (mean over channels) are shown too."""
    ensure_peer_libraries()
    from skimage.restoration import estimate_sigma
    program = kvadra_program(build)
    failed = 0
    print("%-14s %6s %10s %10s %8s" % ("picture", "sigma", "ours", "skimage", "diff %"))
    with tempfile.TemporaryDirectory(prefix="kvadra-sigma-") as folder:
        for name, sigma, _, noisy, path in noisy_samples(folder, (0, 5, 15, 30)):
            out = subprocess.run([program, "estimate", path], check=True, capture_output=True, text=True).stdout
            ours = float(out.splitlines()[0].split("\t")[1])
            grey = noisy.ndim == 2
            theirs = estimate_sigma(noisy.astype(float), channel_axis=None if grey else -1, average_sigmas=True)
            diff = 100.0 * (ours - theirs) / theirs if theirs else 0.0
            mark = "" if not grey or abs(diff) <= 1.0 else "  over"
            failed += bool(mark)
            print("%-14s %6g %10.4f %10.4f %8.3f%s" % (name, sigma, ours, theirs, diff, mark))
    print("%d grey pictures off by more than 1 %%" % failed)
    return 1 if failed else 0


def check_wavelet_shrinkage(build):
    """"Wavelet Shrinkage Filter" (soft, Sigma 0) against skimage.restoration.denoise_wavelet
    (BayesShrink, soft, same wavelet and levels, YCbCr for colour, result clipped and rounded to
    8 bits like ours): PSNR against the clean picture within 0.2 dB."""
    ensure_peer_libraries()
    import numpy as np
    from skimage.metrics import peak_signal_noise_ratio
    from skimage.restoration import denoise_wavelet
    program = kvadra_program(build)
    wavelets = (("Haar", "haar"), ("Daubechies 2", "db2"), ("Daubechies 4", "db4"), ("Daubechies 8", "db8"),
                ("Symlet 8", "sym8"))
    failed = 0
    worst = 0.0
    print("%-14s %5s %-6s %6s %9s %9s %7s" % ("picture", "sigma", "wavelet", "levels", "ours dB", "skimage", "diff"))
    with tempfile.TemporaryDirectory(prefix="kvadra-wavelet-") as folder:
        out = os.path.join(folder, "out.png")
        for name, sigma, clean, noisy, path in noisy_samples(folder, (10, 25)):
            for ours_name, peer_name in wavelets:
                for levels in (1, 3, 5):
                    subprocess.run([program, "run", path, "--op", "Wavelet Shrinkage Filter", "--set",
                                    "Wavelet=" + ours_name, "--set", "Levels=%d" % levels, "--out", out],
                                   check=True, stdout=subprocess.DEVNULL)
                    from skimage import io
                    mine = peak_signal_noise_ratio(clean, io.imread(out))
                    grey = noisy.ndim == 2
                    restored = denoise_wavelet(noisy / 255.0, wavelet=peer_name, mode="soft", method="BayesShrink",
                                               wavelet_levels=levels, channel_axis=None if grey else -1,
                                               convert2ycbcr=not grey, rescale_sigma=True)
                    restored = np.clip(np.round(restored * 255.0), 0, 255).astype(np.uint8)
                    theirs = peak_signal_noise_ratio(clean, restored)
                    diff = mine - theirs
                    worst = max(worst, abs(diff))
                    mark = "" if abs(diff) <= 0.2 else "  over"
                    failed += bool(mark)
                    print("%-14s %5g %-6s %6d %9.3f %9.3f %+7.3f%s" % (name, sigma, peer_name, levels, mine, theirs,
                                                                      diff, mark))
    print("largest difference %.3f dB; %d cases more than 0.2 dB apart" % (worst, failed))
    return 1 if failed else 0


QUALITY_CHECKS = {"noise-sigma": check_noise_sigma, "wavelet-shrinkage": check_wavelet_shrinkage}


if __name__ == "__main__":
    main()
