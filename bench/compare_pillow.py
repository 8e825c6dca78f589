#!/usr/bin/python3
"""Times the image codecs against Pillow on the same 1920 x 1080 screenshot-like files.

Runs build/bin/bench_image_formats (which writes the files), then Pillow on those files with
the same settings, and prints milliseconds and ratios (ours / Pillow; below 1 is faster).

    /usr/bin/python3 bench/compare_pillow.py [path/to/bench_image_formats] [--rounds N]

The machine is shared, so both sides are timed in N alternating rounds (default 3) and the
best time of each side is kept.
"""
import json
import os
import subprocess
import sys
import tempfile
import time

from PIL import Image

FORMATS = ["bmp", "png", "jpg", "gif", "tif"]
# Read by our built-in decoders only: decode times alone, on files the benchmark writes.
BUILTIN = {"tga_raw": "screenshot_tga_raw.tga", "tga_rle": "screenshot_tga_rle.tga",
           "pcx": "screenshot_pcx.pcx"}


def best_of(fn, repeat=7):
    fn()  # warm up
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return min(times) * 1000.0


def time_ours(binary, env):
    out = subprocess.run([binary, "--benchmark_format=json", "--benchmark_repetitions=5"],
                         env=env, check=True, capture_output=True, text=True).stdout
    ours = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") == "iteration":
            op, fmt = b["run_name"].split("/")
            op = "Decode" if op == "DecodeBuiltin" else op
            ours[(op, fmt)] = min(ours.get((op, fmt), float("inf")), b["real_time"])
    return ours


def time_pillow(folder):
    source = Image.open(os.path.join(folder, "screenshot.bmp"))
    source.load()
    settings = {"bmp": {}, "png": {}, "jpg": {"quality": 95}, "gif": {}, "tif": {}}
    pillow = {}
    for fmt in FORMATS:
        path = os.path.join(folder, "screenshot." + fmt)

        def decode():
            with Image.open(path) as im:
                im.load()

        def encode():
            source.save(os.path.join(folder, "pillow." + fmt), **settings[fmt])

        pillow[("Decode", fmt)] = best_of(decode)
        pillow[("Encode", fmt)] = best_of(encode, 3 if fmt == "gif" else 7)
    for kind, name in BUILTIN.items():
        path = os.path.join(folder, name)

        def decode_builtin():
            with Image.open(path) as im:
                im.load()

        pillow[("Decode", kind)] = best_of(decode_builtin)
    return pillow


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    args = sys.argv[1:]
    rounds = 3
    if "--rounds" in args:
        i = args.index("--rounds")
        rounds = int(args[i + 1])
        del args[i:i + 2]
    binary = args[0] if args else os.path.join(root, "build/bin/bench_image_formats")
    with tempfile.TemporaryDirectory(prefix="orvane-bench-") as folder:
        env = dict(os.environ, ORVANE_BENCH_DIR=folder)
        ours, pillow = {}, {}
        for _ in range(rounds):
            for key, ms in time_ours(binary, env).items():
                ours[key] = min(ours.get(key, float("inf")), ms)
            for key, ms in time_pillow(folder).items():
                pillow[key] = min(pillow.get(key, float("inf")), ms)

    print(f"{'':14}{'ours ms':>10}{'Pillow ms':>11}{'ratio':>8}")
    for op in ("Decode", "Encode"):
        for fmt in FORMATS + (list(BUILTIN) if op == "Decode" else []):
            a, b = ours[(op, fmt)], pillow[(op, fmt)]
            print(f"{op + ' ' + fmt:14}{a:10.2f}{b:11.2f}{a / b:8.2f}")


if __name__ == "__main__":
    main()
