#!/usr/bin/python3
"""Pictavo's filters beside OpenCV and numpy, single-threaded, in one run.

Builds the photograph of bench/filters.cpp (4000 x 3000, integer formulas
so both sides hold the same pixels), times the peers, runs the Google
Benchmark program for the Pictavo figures and prints both with ratios.
Times are CPU times (the machine may be shared); wall times are shown too.

usage: bench/peers_filters.py [path/to/bench_filters] [--quick]
Needs python3-opencv and python3-numpy (apt-get install python3-opencv python3-numpy).
"""
import json
import os
import subprocess
import sys
import time

import cv2
import numpy as np

W, H = 4000, 3000
FT_SIDE = 1024


def photo(w, h):
    y, x = np.mgrid[0:h, 0:w].astype(np.int64)
    n = (((x * 2654435761) & 0xFFFFFFFF) ^ ((y * 40503) & 0xFFFFFFFF)) >> 28
    dx, dy = x - w // 3, y - h // 2
    disc = dx * dx + dy * dy < (h // 4) * (h // 4)
    img = np.zeros((h, w, 3), np.uint8)
    img[..., 2] = (x * 200 // w + n + 20) & 255
    img[..., 1] = np.where(disc, 230 - n, y * 180 // h + n) & 255
    img[..., 0] = ((x + y) * 120 // (w + h) + 4 * n + 30) & 255
    return img


def timed(fn, repeats):
    """Best CPU and wall milliseconds over the repeats."""
    fn()
    best_cpu, best_wall = 1e30, 1e30
    for _ in range(repeats):
        c, t = time.process_time(), time.perf_counter()
        fn()
        best_cpu = min(best_cpu, time.process_time() - c)
        best_wall = min(best_wall, time.perf_counter() - t)
    return best_cpu * 1e3, best_wall * 1e3


def wave_maps(w, h, amplitude, wavelength, phase):
    """Source coordinates of the non-reflective wave, for cv2.remap."""
    y, x = np.mgrid[0:h, 0:w].astype(np.float64)
    yb = (h - 1) - y
    cx, cy = (w - 1) / 2, (h - 1) / 2
    xs, ys = (1.0, (w / 2) / (h / 2)) if w > h else ((h / 2) / (w / 2), 1.0) if w < h else (1.0, 1.0)
    dx, dy = (x - cx) * xs, (yb - cy) * ys
    a = np.sin(np.sqrt(dx * dx + dy * dy) / (2 * wavelength) * 2 * np.pi + phase * np.pi / 180) * amplitude
    sx = cx + (a + dx) / xs
    sy = (h - 1) - (cy + (a + dy) / ys)
    return sx.astype(np.float32), sy.astype(np.float32)


def peers(quick):
    cv2.setNumThreads(1)
    reps = 3 if quick else 7
    img = photo(W, H)
    grey = cv2.cvtColor(img, cv2.COLOR_BGR2GRAY)
    edge = np.array([[1, 1, 1], [1, -8, 1], [1, 1, 1]], np.float32)
    blur = np.ones((3, 3), np.float32) / 9
    low2 = np.array([[1, 2, 1], [2, 4, 2], [1, 2, 1]], np.float32) / 16
    mx, my = wave_maps(W, H, 12, 40, 30)
    ft = photo(FT_SIDE, FT_SIDE)[..., 1].astype(np.float64)
    out = {}
    out["ApplyFilter/edge"] = ("cv2.filter2D", timed(lambda: cv2.filter2D(img, -1, edge), reps))
    out["ApplyFilter/blur"] = ("cv2.filter2D", timed(lambda: cv2.filter2D(img, -1, blur), reps))
    out["ApplyFilter/lowpass2"] = ("cv2.filter2D", timed(lambda: cv2.filter2D(img, -1, low2), reps))
    out["Maximum/1"] = ("cv2.dilate 3x3", timed(lambda: cv2.dilate(img, np.ones((3, 3), np.uint8)), reps))
    out["Maximum/10"] = ("cv2.dilate 21x21", timed(lambda: cv2.dilate(img, np.ones((21, 21), np.uint8)), reps))

    def hist4():
        for c in range(3):
            cv2.calcHist([img], [c], None, [256], [0, 256])
        cv2.calcHist([cv2.cvtColor(img, cv2.COLOR_BGR2GRAY)], [0], None, [256], [0, 256])

    out["GetHistogram"] = ("cv2.calcHist x3 + grey", timed(hist4, reps))
    out["HistAutoEqualize"] = ("cv2.equalizeHist (grey)", timed(lambda: cv2.equalizeHist(grey), reps))
    out["Wave"] = ("cv2.remap (maps given)", timed(lambda: cv2.remap(img, mx, my, cv2.INTER_LINEAR), reps))
    out["Wave (maps built)"] = (
        "numpy maps + cv2.remap",
        timed(lambda: cv2.remap(img, *wave_maps(W, H, 12, 40, 30), cv2.INTER_LINEAR), max(1, reps // 3)),
    )
    out["FourierRoundTrip"] = ("numpy fft2 + ifft2", timed(lambda: np.fft.ifft2(np.fft.fft2(ft)), reps))
    return out


NAMES = {
    "BM_ApplyFilter/2": "ApplyFilter/edge",
    "BM_ApplyFilter/1": "ApplyFilter/blur",
    "BM_ApplyFilter/8": "ApplyFilter/lowpass2",
    "BM_Maximum/1": "Maximum/1",
    "BM_Maximum/10": "Maximum/10",
    "BM_GetHistogram": "GetHistogram",
    "BM_HistAutoEqualize": "HistAutoEqualize",
    "BM_Wave": "Wave",
    "BM_FourierRoundTrip": "FourierRoundTrip",
}


def pictavo(binary, quick):
    args = [binary, "--benchmark_format=json", "--benchmark_min_time=%s" % ("0.2" if quick else "1")]
    result = json.loads(subprocess.run(args, check=True, capture_output=True, text=True).stdout)
    out = {}
    for b in result["benchmarks"]:
        if b["name"] in NAMES:
            scale = {"ms": 1.0, "us": 1e-3, "ns": 1e-6}[b["time_unit"]]
            out[NAMES[b["name"]]] = (b["cpu_time"] * scale, b["real_time"] * scale)
    return out


def main():
    quick = "--quick" in sys.argv
    rest = [a for a in sys.argv[1:] if a != "--quick"]
    binary = rest[0] if rest else os.path.join(os.path.dirname(__file__), "..", "build", "bench_bench_filters")
    if not os.path.exists(binary):
        binary = os.path.join(os.path.dirname(__file__), "..", "build", "bench_filters")
    ours = pictavo(binary, quick)
    theirs = peers(quick)
    print("%-20s %10s %10s   %-26s %10s %10s  %7s" % ("operation", "cpu ms", "wall ms", "peer", "cpu ms",
                                                       "wall ms", "ratio"))
    for name, (peer, (pcpu, pwall)) in theirs.items():
        key = "Wave" if name.startswith("Wave") else name
        cpu, wall = ours.get(key, (float("nan"), float("nan")))
        print("%-20s %10.1f %10.1f   %-26s %10.1f %10.1f  %6.2fx" % (name, cpu, wall, peer, pcpu, pwall, pcpu / cpu))
    print("ratio = peer CPU time / Pictavo CPU time (above 1: Pictavo is faster)")


if __name__ == "__main__":
    main()
