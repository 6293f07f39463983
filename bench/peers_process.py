#!/usr/bin/python3
"""Processing workers beside OpenCV and libvips on the same photograph.

Runs bench_process (Google Benchmark, CPU time per iteration), then the same
operations single-threaded in OpenCV (Python bindings) and libvips (the
`vips` command-line tool, on .v files in /dev/shm; the CPU time of a plain
`vips copy` of the same file is subtracted), all on the 4000 x 3000 pixels
that bench_process writes, and prints CPU times and the ratio
peer time / Pictavo time (above 1: Pictavo is faster).

CPU time rather than wall time keeps the comparison fair on a loaded machine.

Debian packages: python3-opencv (with python3-numpy), libvips-tools.

usage: bench/peers_process.py [BUILD_DIR]   (default build; needs -DPICTAVO_BENCH=ON)
"""
import json
import os
import resource
import subprocess
import sys
import tempfile
import time

W, H = 4000, 3000
BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
BENCH = os.path.join(BUILD, "bench_process")
REPEAT = 5


def ours():
    out = subprocess.run([BENCH, "--benchmark_format=json", "--benchmark_min_time=1"],
                         check=True, capture_output=True, text=True).stdout
    result = {}
    for b in json.loads(out)["benchmarks"]:
        result[b["name"].replace("BM_", "")] = b["cpu_time"] / 1000.0  # ms -> s
    return result


def best_cpu(fn):
    best = None
    for _ in range(REPEAT):
        t0 = time.process_time()
        fn()
        t = time.process_time() - t0
        best = t if best is None else min(best, t)
    return best


def opencv(raw):
    try:
        import cv2
        import numpy as np
    except ImportError:
        return {}
    cv2.setNumThreads(0)  # sequential
    img = np.fromfile(raw, dtype=np.uint8).reshape(H, W, 3)
    out = {}
    out["Memcpy"] = best_cpu(lambda: img.copy())
    out["ResampleLanczos3Half"] = best_cpu(
        lambda: cv2.resize(img, (W // 2, H // 2), interpolation=cv2.INTER_LANCZOS4))
    out["ResampleLanczos3Double"] = best_cpu(
        lambda: cv2.resize(img, (W * 2, H * 2), interpolation=cv2.INTER_LANCZOS4))
    out["ResampleTriangleHalf"] = best_cpu(
        lambda: cv2.resize(img, (W // 2, H // 2), interpolation=cv2.INTER_LINEAR))

    def rotate(flags):
        m = cv2.getRotationMatrix2D((W / 2, H / 2), 30, 1.0)
        cos, sin = abs(m[0, 0]), abs(m[0, 1])
        nw, nh = int(H * sin + W * cos), int(H * cos + W * sin)
        m[0, 2] += nw / 2 - W / 2
        m[1, 2] += nh / 2 - H / 2
        return cv2.warpAffine(img, m, (nw, nh), flags=flags)

    out["Rotate30Antialias"] = best_cpu(lambda: rotate(cv2.INTER_LINEAR))
    out["Rotate30"] = best_cpu(lambda: rotate(cv2.INTER_NEAREST))
    out["ConvertToGray"] = best_cpu(
        lambda: cv2.cvtColor(cv2.cvtColor(img, cv2.COLOR_BGR2GRAY), cv2.COLOR_GRAY2BGR))
    out["Negative"] = best_cpu(lambda: cv2.bitwise_not(img))
    out["IntensityRGBall"] = best_cpu(
        lambda: cv2.subtract(cv2.add(img, (10, 0, 30, 0)), (0, 20, 0, 0)))

    def hsv():
        h = cv2.cvtColor(img, cv2.COLOR_BGR2HSV)
        h = cv2.add(h, (20, 25, 0, 0))
        return cv2.cvtColor(cv2.subtract(h, (0, 0, 12, 0)), cv2.COLOR_HSV2BGR)

    out["HSVvar"] = best_cpu(hsv)

    def count():
        p = img.astype(np.uint32)
        key = (p[:, :, 2] << 16) | (p[:, :, 1] << 8) | p[:, :, 0]
        return np.count_nonzero(np.bincount(key.ravel(), minlength=1 << 24))

    out["CalcImageNumColors"] = best_cpu(count)
    return out


def vips_cpu(args, env):
    best = None
    for _ in range(REPEAT):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        subprocess.run(["vips"] + args, check=True, env=env, capture_output=True)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        t = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        best = t if best is None else min(best, t)
    return best


def libvips(raw, tmp):
    if subprocess.run(["which", "vips"], capture_output=True).returncode != 0:
        return {}
    env = dict(os.environ, VIPS_CONCURRENCY="1")
    src = os.path.join(tmp, "photo.v")
    dst = os.path.join(tmp, "out.v")
    subprocess.run(["vips", "rawload", raw, src, str(W), str(H), "3"], check=True, env=env)
    base = vips_cpu(["copy", src, dst], env)
    ops = {
        "ResampleLanczos3Half": ["resize", src, dst, "0.5", "--kernel", "lanczos3"],
        "ResampleLanczos3Double": ["resize", src, dst, "2", "--kernel", "lanczos3"],
        "ResampleTriangleHalf": ["resize", src, dst, "0.5", "--kernel", "linear"],
        "Rotate30Antialias": ["rotate", src, dst, "30", "--interpolate", "bilinear"],
        "Rotate30": ["rotate", src, dst, "30", "--interpolate", "nearest"],
        "ConvertToGray": ["colourspace", src, dst, "b-w"],
        "Negative": ["invert", src, dst],
        "IntensityRGBall": ["linear", src, dst, "1 1 1", "30 -20 10", "--uchar"],
        "HSVvar": None,
    }
    out = {"Memcpy": base}
    for name, args in ops.items():
        if args is None:
            continue
        try:
            out[name] = max(vips_cpu(args, env) - base, 1e-4)
        except subprocess.CalledProcessError:
            pass
    return out


def main():
    with tempfile.TemporaryDirectory(dir="/dev/shm" if os.path.isdir("/dev/shm") else None) as tmp:
        raw = os.path.join(tmp, "photo.bgr")
        subprocess.run([BENCH, "--write-photo=" + raw], check=True)
        mine = ours()
        cv = opencv(raw)
        vi = libvips(raw, tmp)
    mpx = W * H / 1e6
    print("%-24s %10s %10s %10s %8s %8s %8s" %
          ("operation (4000x3000)", "pictavo", "opencv", "libvips", "cv/us", "vips/us", "Mpx/s"))
    for name, t in mine.items():
        c, v = cv.get(name), vi.get(name)
        fmt = lambda x: "%9.1fms" % (x * 1000) if x is not None else "%10s" % "-"
        ratio = lambda x: "%8.2f" % (x / t) if x is not None else "%8s" % "-"
        print("%-24s %s %s %s %s %s %8.0f" % (name, fmt(t), fmt(c), fmt(v), ratio(c), ratio(v),
                                               mpx / t))
    if "Memcpy" in mine:
        print("\nwithin 2x of memcpy (%.1f ms):" % (mine["Memcpy"] * 1000),
              ", ".join("%s %.2fx" % (n, mine[n] / mine["Memcpy"])
                        for n in ("ConvertToGray", "Negative", "IntensityRGBall") if n in mine))
    print("libvips times are of the vips tool less a plain copy of the same .v file;"
          " the colour count peer is numpy's bincount")


if __name__ == "__main__":
    main()
