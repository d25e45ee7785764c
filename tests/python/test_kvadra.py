"""The Python module against the command-line program: same pictures, same numbers, clear errors."""
import csv
import math
import os
import re
import subprocess
import threading

import numpy as np
import pytest

import kvadra

CLI = os.environ["KVADRA_CLI"]
SAMPLES = os.environ["KVADRA_SAMPLES"]


def sample(name):
    return os.path.join(SAMPLES, name)


def cli(*arguments):
    return subprocess.run([CLI, *map(str, arguments)], check=True, capture_output=True, text=True).stdout


# picture, operation, its settings, seed, region
RUN_CASES = [
    ("camera.bmp", "Salt-and-Pepper Noise", {"Noise percent": 0.3}, 7, None),
    ("chelsea.bmp", "Gaussian Noise", {"Sigma": 25}, 3, None),
    ("camera.bmp", "Median Filter", {"Width size": 5, "Height size": 3}, None, None),
    ("chelsea.bmp", "Bilateral", {}, None, None),
    ("astronaut.bmp", "Invert", {}, None, (100, 100, 300, 200)),
    ("chelsea.bmp", "Salt Noise", {"Noise percent": 0.2}, 11, (10, 20, 200, 120)),
]


@pytest.mark.parametrize("picture,name,settings,seed,region", RUN_CASES)
def test_apply_equals_run(tmp_path, picture, name, settings, seed, region):
    out = tmp_path / "out.png"
    arguments = ["run", sample(picture), "--op", name, "--out", out]
    for key, value in settings.items():
        arguments += ["--set", f"{key}={value}"]
    if seed is not None:
        arguments += ["--seed", seed]
    if region:
        arguments += ["--region", ",".join(map(str, region))]
    cli(*arguments)
    image = kvadra.load(sample(picture))
    # Half the cases name the parameters as keywords, half as a dict.
    keywords = {key.replace(" ", "_"): value for key, value in settings.items()}
    result = (kvadra.apply(image, name, seed=seed, region=region, **keywords) if seed
              else kvadra.apply(image, name, region=region, params=settings))
    expected = kvadra.load(str(out))
    assert result.dtype == np.uint8 and result.shape == image.shape
    np.testing.assert_array_equal(result, expected)
    assert not np.array_equal(result, image)


def cli_measures(image, origin, *options):
    return {name: float(value) for name, value in
            (line.split("\t") for line in cli("measure", image, "--origin", origin, *options).splitlines())}


@pytest.mark.parametrize("window,k1,options", [((7, 7), None, ["--window", "7x7"]),
                                               ((5, 9), 0.02, ["--window", "5x9", "--k1", "0.02"])])
def test_measure_equals_cli(tmp_path, window, k1, options):
    noisy = tmp_path / "noisy.png"
    cli("run", sample("chelsea.bmp"), "--op", "Gaussian Noise", "--set", "Sigma=20", "--seed", 1, "--out", noisy)
    values = kvadra.measure(kvadra.load(str(noisy)), kvadra.load(sample("chelsea.bmp")), window=window, k1=k1)
    assert values == cli_measures(noisy, sample("chelsea.bmp"), *options)
    assert list(values) == ["MSE", "PSNR", "IQ", "IQHVS", "SSIM", "Noise sigma"]


def test_analyze_equals_cli(tmp_path):
    table = tmp_path / "sweep.csv"
    cli("analyze", sample("camera.bmp"), "--corrupt", "Salt-and-Pepper Noise", "--param", "Noise percent",
        "--values", "0.1,0.4", "--restore", "Median Filter:Width size=5;Height size=5",
        "--restore", "Adaptive Median Filter", "--criterion", "PSNR", "--criterion", "SSIM", "--seed", 5,
        "--csv", table)
    with open(table, newline="") as f:
        rows = list(csv.reader(f))
    result = kvadra.analyze(kvadra.load(sample("camera.bmp")), corrupt="Salt-and-Pepper Noise",
                            param="Noise percent", values=[0.1, 0.4],
                            restore=[("Median Filter", {"Width size": 5, "Height size": 5}),
                                     "Adaptive Median Filter"], criteria=["PSNR", "SSIM"], seed=5)
    assert list(result) == rows[0]
    assert list(result["criterion"]) == [row[0] for row in rows[1:]]
    for column, name in enumerate(rows[0][1:], 1):
        assert list(result[name]) == [float(row[column]) for row in rows[1:]]


GREY = np.zeros((8, 8), np.uint8)
COLOUR = np.zeros((8, 8, 3), np.uint8)
ERRORS = [
    (lambda: kvadra.apply(GREY, "Median Filtre"), ValueError, "unknown operation 'Median Filtre'.*Median Filter"),
    (lambda: kvadra.apply(GREY, "Median Filter", Width_siz=3), ValueError, "no parameter 'Width siz'"),
    (lambda: kvadra.apply(GREY, "Median Filter", Width_size=500), ValueError, "outside the bounds"),
    (lambda: kvadra.apply(GREY, "Median Filter", params={"Width size": "wide"}), ValueError, "not a whole number"),
    (lambda: kvadra.apply(GREY.astype(float), "Invert"), ValueError, "uint8.*float64"),
    (lambda: kvadra.apply(np.zeros((8, 8, 4), np.uint8), "Invert"), ValueError, r"shape \(8, 8, 4\)"),
    (lambda: kvadra.apply([[0]], "Invert"), ValueError, "numpy uint8 array.*list"),
    (lambda: kvadra.apply(GREY, "Invert", region=(0, 0, 9, 8)), ValueError, "does not lie inside the 8 x 8"),
    (lambda: kvadra.apply(GREY, "Desaturate"), ValueError, "needs a colour picture"),
    (lambda: kvadra.apply(GREY, "Salt Noise", seed=-1), ValueError, "seed"),
    (lambda: kvadra.measure(GREY, COLOUR), ValueError, "does not match the origin"),
    (lambda: kvadra.measure(GREY, GREY, window=(0, 7)), ValueError, "window sizes"),
    (lambda: kvadra.measure(GREY, GREY, window=7), ValueError, r"window must be \(width, height\)"),
    (lambda: kvadra.measure(GREY, GREY, k2="x"), ValueError, "k2 must lie in 0..1"),
    (lambda: kvadra.analyze(GREY, corrupt="Salt Noise", param="Noise percent", values=[0.1], criteria=["PNSR"]),
     ValueError, "unknown criterion 'PNSR'"),
    (lambda: kvadra.analyze(GREY, corrupt="Salt Noise", param="Noise percent", values=[2]), ValueError, "bounds"),
    (lambda: kvadra.load("/nonexistent/x.png"), OSError, "cannot read picture"),
    (lambda: kvadra.load(os.environ["KVADRA_README"]), OSError, "cannot load picture"),
    (lambda: kvadra.save("/nonexistent/x.png", GREY), OSError, "cannot write"),
    (lambda: kvadra.save("x.gif", GREY), ValueError, r"\.bmp or \.png"),
    (lambda: kvadra.set_threads(0), ValueError, "1..256"),
]


@pytest.mark.parametrize("call,error,message", ERRORS)
def test_errors(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_unseeded_runs_draw_new_noise():
    # A seed given once must not fix the noise of the calls without one that follow it.
    def seeded_then_unseeded():
        first = kvadra.apply(GREY, "Salt Noise", seed=4, Noise_percent=0.5)
        return first, kvadra.apply(GREY, "Salt Noise", Noise_percent=0.5)

    (first, after), (again, after_again) = seeded_then_unseeded(), seeded_then_unseeded()
    np.testing.assert_array_equal(first, again)
    assert not np.array_equal(after, after_again)


def test_memory_layouts_and_input_unchanged():
    colour = kvadra.load(sample("chelsea.bmp"))
    wide = np.zeros(colour.shape[:2] + (5,), np.uint8)
    wide[..., 1:4] = colour
    # Fortran order, samples apart, and negative strides of rows, columns and channels.
    layouts = [np.asfortranarray(colour), wide[..., 1:4]] + [
        np.flip(np.ascontiguousarray(np.flip(colour, axis)), axis) for axis in range(3)]
    expected = kvadra.apply(colour, "Gaussian Noise", seed=9)
    for layout in layouts:
        before = layout.copy()
        np.testing.assert_array_equal(kvadra.apply(layout, "Gaussian Noise", seed=9), expected)
        np.testing.assert_array_equal(layout, before)
    grey = kvadra.load(sample("camera.bmp"))
    np.testing.assert_array_equal(kvadra.apply(grey[::2, ::3], "Invert"), 255 - grey[::2, ::3])


def test_two_threads_get_their_own_results():
    image = kvadra.load(sample("camera.bmp"))
    jobs = [("Salt-and-Pepper Noise", 1, {"Noise_percent": 0.3}), ("Gaussian Noise", 2, {"Sigma": 40}),
            ("Median Filter", None, {"Width_size": 7}), ("Speckle Noise", 3, {})] * 2
    expected = [kvadra.apply(image, name, seed=seed, **params) for name, seed, params in jobs]
    results = [None] * len(jobs)

    def work(k):
        name, seed, params = jobs[k]
        for _ in range(3):
            results[k] = kvadra.apply(image, name, seed=seed, **params)

    threads = [threading.Thread(target=work, args=(k,)) for k in range(len(jobs))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for got, want in zip(results, expected):
        np.testing.assert_array_equal(got, want)


def test_readme_example(tmp_path, monkeypatch):
    pytest.importorskip("matplotlib")
    with open(os.environ["KVADRA_README"]) as f:
        text = f.read()
    example = re.search(r"## Python\n.*?```python\n(.*?)```", text, re.S).group(1)
    monkeypatch.chdir(tmp_path)
    exec(compile(example.replace("samples/", SAMPLES + "/"), "README.md", "exec"), {})
    assert (tmp_path / "sweep.png").stat().st_size > 0
