#!/usr/bin/python3
"""Times our resampling against Pillow on the same picture sizes in the same run.

Usage: /usr/bin/python3 bench/compare_pillow_resize.py [build/bin/bench_editor]

Runs the resize benchmarks (both threads, median of repetitions), then times Pillow's
BILINEAR, BOX and HAMMING resize of photo-like RGB pictures of the same sizes (median of
repetitions) and prints each pair with the ratio Pillow / ours.
"""
import json
import os
import statistics
import subprocess
import sys
import time

import numpy as np
from PIL import Image

REPS = 7


def photo_like(width, height):
    # The same recipe as bench/BenchPictures.h: smooth ramps plus noise, opaque.
    rng = np.random.default_rng(7)
    x = np.arange(width)[None, :]
    y = np.arange(height)[:, None]
    n = rng.integers(0, 1 << 32, size=(height, width), dtype=np.int64)
    a = np.empty((height, width, 4), np.uint8)
    a[..., 2] = (x * 255 // width + (n & 15)) & 255                      
    a[..., 1] = (y * 255 // height + ((n >> 4) & 15)) & 255
    a[..., 0] = ((x + y) * 127 // (width + height) + ((n >> 8) & 31)) & 255
    a[..., 3] = 255
    # RGB, not RGBA: Pillow premultiplies RGBA around a resize, which makes it several times
    # slower; RGB is still four bytes a pixel inside Pillow, so this is its fastest case.
    return Image.fromarray(a[..., :3].copy(), "RGB")


def pillow_ms(img, size, method):
    img.resize(size, method)  # warm up
    times = []
    for _ in range(REPS):
        t = time.perf_counter()
        img.resize(size, method)
        times.append((time.perf_counter() - t) * 1000)
    return statistics.median(times)


def ours_ms(binary):
    out = subprocess.run(
        [binary, "--benchmark_filter=BM_Resize(Bilinear|Box|Hamming)/[01]/2$",
         f"--benchmark_repetitions={REPS}", "--benchmark_report_aggregates_only=true",
         "--benchmark_format=json"],
        check=True, capture_output=True, text=True).stdout
    result = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            name = b["run_name"]  # BM_ResizeBox/0/2
            kernel = name.split("/")[0][len("BM_Resize"):]
            direction = "up" if name.split("/")[1] == "1" else "down"
            result[(kernel, direction)] = b["real_time"]
    return result


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), "..", "build", "bin", "bench_editor")
    big, small = photo_like(3840, 2160), photo_like(1920, 1080)
    methods = {"Bilinear": Image.BILINEAR, "Box": Image.BOX, "Hamming": Image.HAMMING}
    pil = {}
    ours = ours_ms(binary)
    for kernel, m in methods.items():
        pil[(kernel, "down")] = pillow_ms(big, (1920, 1080), m)
        pil[(kernel, "up")] = pillow_ms(small, (3840, 2160), m)
    ours_again = ours_ms(binary)  # before and after Pillow, so both see the same load
    import PIL
    print(f"Pillow {PIL.__version__}, median of {REPS}; ours: both threads, "
          "median of two runs' medians (before and after Pillow)")
    print(f"{'resize':<28}{'ours ms':>10}{'Pillow ms':>12}{'Pillow/ours':>13}")
    worst = None
    for kernel in methods:
        for direction in ("down", "up"):
            o = (ours[(kernel, direction)] + ours_again[(kernel, direction)]) / 2
            p = pil[(kernel, direction)]
            sizes = "3840x2160->1920x1080" if direction == "down" else "1920x1080->3840x2160"
            print(f"{kernel + ' ' + sizes:<28}{o:>10.1f}{p:>12.1f}{p / o:>12.2f}x")
            worst = p / o if worst is None else min(worst, p / o)
    print(f"lowest ratio {worst:.2f}x (target: at least 2x)")


if __name__ == "__main__":
    main()
