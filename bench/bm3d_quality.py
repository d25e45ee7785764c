#!/usr/bin/env python3
"""BM3D quality on a folder of grey test pictures: mean PSNR per noise sigma.

Each picture gets the kernel's own "Gaussian Noise" (rounded and clipped to 8 bits, seeded per
picture) and is restored with "BM3D Filter" at the same sigma, all through `kvadra run`; the
PSNR is against the clean picture.

  bench/bm3d_quality.py FOLDER [--build DIR] [--sigmas 15,25,50] [--profile Normal|Fast]

Published BM3D means (noise not clipped) are printed beside ours where known: Set12 and the
68-picture set of Roth and Black.
"""
import argparse
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PUBLISHED = {"Set12": {15: 32.37, 25: 29.97, 50: 26.72}, "BSD68": {15: 31.07, 25: 28.57, 50: 25.62}}


def psnr_of_run(kvadra, picture, sigma, profile, seed):
    command = [kvadra, "run", picture, "--seed", str(seed),
               "--op", "Gaussian Noise", "--set", "Sigma=%g" % sigma,
               "--op", "BM3D Filter", "--set", "Sigma=%g" % sigma, "--set", "Profile=%s" % profile]
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        sys.exit("bm3d_quality.py: kvadra failed on %s:\n%s" % (picture, result.stderr))
    rows = [line.split("\t") for line in result.stdout.splitlines() if line and line[0].isdigit()]
    # id, title, MSE, PSNR, ...: the noisy picture's row, then the restored one's.
    return float(rows[-2][3]), float(rows[-1][3]), float(rows[-1][-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("folder")
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--sigmas", default="15,25,50")
    parser.add_argument("--profile", default="Normal")
    args = parser.parse_args()
    kvadra = os.path.join(args.build, "bin", "kvadra")
    pictures = sorted(os.path.join(args.folder, f) for f in os.listdir(args.folder)
                      if re.search(r"\.(png|bmp|jpg|tif|tiff)$", f, re.I))
    if not pictures:
        sys.exit("bm3d_quality.py: no pictures in " + args.folder)
    published = PUBLISHED.get(os.path.basename(os.path.normpath(args.folder)), {})
    print("%s, %d pictures, profile %s" % (args.folder, len(pictures), args.profile))
    print("%6s %10s %10s %10s %10s" % ("sigma", "noisy dB", "BM3D dB", "published", "mean ms"))
    for sigma in [float(s) for s in args.sigmas.split(",")]:
        noisy, restored, ms = [], [], []
        for i, picture in enumerate(pictures):
            n, r, t = psnr_of_run(kvadra, picture, sigma, args.profile, 1000 + i)
            noisy.append(n)
            restored.append(r)
            ms.append(t)
        mean = lambda v: sum(v) / len(v)
        known = published.get(int(sigma)) if sigma == int(sigma) else None
        print("%6g %10.2f %10.2f %10s %10.0f" % (sigma, mean(noisy), mean(restored),
                                               "-" if known is None else "%.2f" % known, mean(ms)))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
