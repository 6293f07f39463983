#!/usr/bin/env python3
"""Whole-process speed comparison of Pictavo with established image tools.

Makes a corpus (a 4000x3000 photograph-like image in every format and
setting of the table, a 2480x3508 one-bit page in PBM and TIFF G3/G4),
compiles a tiny Pictavo loader/saver (pv_tool.cpp, linked against the
library in BUILD) and small C harnesses over libtiff, libjpeg-turbo, libpng,
giflib and stb_image, then runs every tool of a task alternately, pinned to
one core, RUNS times (the millisecond-long one-bit page tasks ten times as
often, compared by medians).  Each tool's start-up (the same command on a
1x1 file) is subtracted.  Times are CPU time (user + system) of the process tree, so
other work on a shared machine does not count.  Prints per task the minimum
and min-max of every tool, peak memory (maximum resident set) and Pictavo's
speed ratio against the best peer (best peer time / Pictavo time; above 1.0
Pictavo is faster).

Needs (Debian): build-essential libtiff-dev libtiff-tools libjpeg-dev
libjpeg-turbo-progs libpng-dev libgif-dev libstb-dev netpbm imagemagick
python3-pil time util-linux (taskset).  Not run by CI.

  bench/peers/run.py [--build build] [--runs 5] [--work /tmp/pictavo-peers]
                     [--out DIR] [--only SUBSTRING]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
PHOTO_W, PHOTO_H = 4000, 3000
PAGE_W, PAGE_H = 2480, 3508
IM = shutil.which("convert-im6.q16") or "convert"  # the real program, no wrapper
PY = "/usr/bin/python3"
NOISE_FLOOR = 0.0002  # seconds: a net time below this is start-up noise
# The one-bit page tasks take one or two milliseconds, about the size of the
# start-up's own variation: they run this many times more rounds and are
# compared by medians (of the task and of the start-up) instead of minima.
SHORT_TASK_ROUNDS = 10
# Encoded files go to a RAM folder.  A tool that leaves the writing of its
# file to the kernel's flusher threads is not charged for it, while Pictavo
# flushes the file before renaming it over the old one (so that a crash
# cannot leave a damaged file) and pays the write-back in its own process
# time: tens of milliseconds for a 30 MB PNG on a disk.  In RAM neither
# costs anything, and the times compare the codecs.  --out DIR measures on
# a disk instead.
DEFAULT_OUT = "/dev/shm/pictavo-peers-out" if os.path.isdir("/dev/shm") else ""


def sh(cmd, **kw):
    subprocess.run(cmd, shell=True, check=True, **kw)


def build_tools(build, work):
    tools = os.path.join(work, "bin")
    os.makedirs(tools, exist_ok=True)
    cc = "cc -O2 -I" + HERE
    for name, libs in [("tiff", "-ltiff"), ("jpeg", "-ljpeg"), ("png", "-lpng"),
                       ("gif", "-lgif"), ("stb", "-lm")]:
        sh(f"{cc} -o {tools}/peer_{name} {HERE}/peer_{name}.c {libs}")
    lib = os.path.abspath(build)
    ft = subprocess.run("pkg-config --cflags freetype2 fontconfig", shell=True,
                        capture_output=True, text=True).stdout.strip()
    sh(f"c++ -std=c++20 -O2 -I{ROOT} {ft} -o {tools}/pv_tool {HERE}/pv_tool.cpp "
       f"-L{lib} -lpictavoctl -Wl,-rpath,{lib}")
    return tools


def write_page_pbm(path, w, h):
    """A text-like page: lines of word-sized black blocks with ragged edges."""
    import random
    rnd = random.Random(21)
    rows = [bytearray((w + 7) // 8) for _ in range(h)]
    y = 200
    while y + 40 < h - 200:
        x = 180
        while x < w - 300:
            word = rnd.randint(60, 260)
            for yy in range(y, y + 34):
                r = rows[yy]
                for xx in range(x + rnd.randint(0, 3), x + word - rnd.randint(0, 3)):
                    if (xx // 11) % 3 != 2 or yy % 17 < 12:
                        r[xx >> 3] |= 0x80 >> (xx & 7)
            x += word + rnd.randint(20, 40)
        y += 60
    with open(path, "wb") as f:
        f.write(b"P4\n%d %d\n" % (w, h))
        for r in rows:
            f.write(bytes(r))


def make_corpus(work):
    c = os.path.join(work, "corpus")
    os.makedirs(c, exist_ok=True)
    p = lambda n: os.path.join(c, n)
    if os.path.exists(p("done")):
        return c
    for size, stem in [((PHOTO_W, PHOTO_H), "photo"), ((1, 1), "tiny")]:
        w, h = size
        if stem == "photo":
            # Smooth fractal structure plus fine grain, like a photograph.
            sh(f"{IM} -size {w}x{h} -seed 21 plasma:fractal -blur 0x2 -attenuate 0.3 "
               f"+noise Gaussian -depth 8 {p(stem + '.ppm')}")
        else:
            sh(f"{IM} -size 1x1 xc:'#808080' -depth 8 {p(stem + '.ppm')}")
        s = p(stem)
        sh(f"{IM} {s}.ppm -compress none {s}_none.tif")
        sh(f"tiffcp -c lzw {s}_none.tif {s}_lzw.tif")
        sh(f"tiffcp -c lzw:2 {s}_none.tif {s}_lzwpred.tif")
        sh(f"tiffcp -c packbits {s}_none.tif {s}_packbits.tif")
        sh(f"cjpeg -quality 90 {s}.ppm > {s}.jpg")
        sh(f"{IM} {s}.ppm -dither FloydSteinberg -colors 256 {s}.gif")
        sh(f"{IM} {s}.ppm -define png:compression-level=5 {s}.png")
        sh(f"{IM} {s}.ppm BMP3:{s}.bmp")
        sh(f"{IM} {s}.ppm -compress none {s}.tga")
        sh(f"{IM} {s}.ppm {s}.pcx")
    write_page_pbm(p("page.pbm"), PAGE_W, PAGE_H)
    write_page_pbm(p("tinypage.pbm"), 8, 1)
    for s in ("page", "tinypage"):
        sh(f"pamtotiff -g3 {p(s + '.pbm')} > {p(s + '_g3.tif')}")
        sh(f"pamtotiff -g4 {p(s + '.pbm')} > {p(s + '_g4.tif')}")
    open(p("done"), "w").close()
    return c


def tasks(c, t, out):
    """(task, [(tool, command template)]): {f} is the input, {o} the output."""
    pv, pil = f"{t}/pv_tool", f"{PY} -c"
    pil_dec = pil + " \"import sys;from PIL import Image;Image.open(sys.argv[1]).load()\" {f}"
    im_dec = IM + " {f} null:"

    def dec(stem, peers):
        return {"pictavo": pv + " dec {f}", **peers}, stem

    rows = []
    for setting in ("none", "lzw", "lzwpred", "packbits"):
        rows.append((f"decode TIFF {setting}", *dec(f"photo_{setting}.tif", {
            "libtiff": f"{t}/peer_tiff dec {{f}}", "tifftopnm": "tifftopnm {f} > /dev/null",
            "Pillow": pil_dec, "ImageMagick": im_dec})))
    for setting in ("g3", "g4"):
        rows.append((f"decode TIFF {setting} page", *dec(f"page_{setting}.tif", {
            "libtiff": f"{t}/peer_tiff dec {{f}}", "tifftopnm": "tifftopnm {f} > /dev/null",
            "Pillow": pil_dec, "ImageMagick": im_dec})))
    rows.append(("decode PPM", *dec("photo.ppm", {
        "stb_image": f"{t}/peer_stb dec {{f}}", "netpbm": "ppmtoppm < {f} > /dev/null",
        "Pillow": pil_dec, "ImageMagick": im_dec})))
    rows.append(("decode PBM page", *dec("page.pbm", {
        "netpbm": "pamtopnm < {f} > /dev/null", "Pillow": pil_dec, "ImageMagick": im_dec})))
    rows.append(("decode GIF", *dec("photo.gif", {
        "giflib": f"{t}/peer_gif dec {{f}}", "stb_image": f"{t}/peer_stb dec {{f}}",
        "Pillow": pil_dec, "ImageMagick": im_dec})))
    rows.append(("decode JPEG", *dec("photo.jpg", {
        "libjpeg-turbo": f"{t}/peer_jpeg dec {{f}}", "stb_image": f"{t}/peer_stb dec {{f}}",
        "Pillow": pil_dec, "ImageMagick": im_dec})))
    rows.append(("decode PNG", *dec("photo.png", {
        "libpng": f"{t}/peer_png dec {{f}}", "stb_image": f"{t}/peer_stb dec {{f}}",
        "Pillow": pil_dec, "ImageMagick": im_dec})))
    rows.append(("decode BMP", *dec("photo.bmp", {
        "stb_image": f"{t}/peer_stb dec {{f}}", "netpbm": "bmptopnm {f} > /dev/null",
        "Pillow": pil_dec, "ImageMagick": im_dec})))
    rows.append(("decode TGA", *dec("photo.tga", {
        "stb_image": f"{t}/peer_stb dec {{f}}", "netpbm": "tgatoppm {f} > /dev/null",
        "Pillow": pil_dec, "ImageMagick": im_dec})))
    rows.append(("decode PCX", *dec("photo.pcx", {
        "netpbm": "pcxtoppm {f} > /dev/null", "Pillow": pil_dec, "ImageMagick": im_dec})))

    pil_enc = pil + " \"import sys;from PIL import Image;Image.open(sys.argv[1]).save(sys.argv[2]{a})\" {{f}} {{o}}"

    def enc(name, stem, ext, pv_args, peers):
        o = os.path.join(out, "out_" + name.replace(" ", "_") + ext)
        cmds = {"pictavo": f"{pv} enc {{f}} {{o}} {pv_args}", **peers}
        return (name, {k: v.replace("{o}", o) for k, v in cmds.items()}, stem)

    rows.append(enc("encode TIFF PackBits", "photo.ppm", ".tif", "TIFF_Compression=8", {
        "libtiff": f"{t}/peer_tiff enc {{f}} {{o}} packbits",
        "pnmtotiff": "pnmtotiff -packbits {f} > {o}",
        "Pillow": pil_enc.format(a=",compression='packbits'"),
        "ImageMagick": IM + " {f} -compress RLE {o}"}))
    rows.append(enc("encode TIFF G4 page", "page.pbm", ".tif", "TIFF_Compression=4", {
        "libtiff": f"{t}/peer_tiff enc {{f}} {{o}} g4",
        "pnmtotiff": "pnmtotiff -g4 {f} > {o}",
        "Pillow": pil_enc.format(a=",compression='group4'"),
        "ImageMagick": IM + " {f} -compress Group4 {o}"}))
    rows.append(enc("encode JPEG q90", "photo.ppm", ".jpg", "JPEG_Quality=90", {
        "libjpeg-turbo": f"{t}/peer_jpeg enc {{f}} {{o}} 90",
        "cjpeg": "cjpeg -quality 90 {f} > {o}",
        "Pillow": pil_enc.format(a=",quality=90"),
        "ImageMagick": IM + " {f} -quality 90 {o}"}))
    rows.append(enc("encode PNG level 5, no filter", "photo.ppm", ".png",
                    "PNG_Compression=5 PNG_Filter=0", {
                        "libpng": f"{t}/peer_png enc {{f}} {{o}} 5 none",
                        "Pillow": pil_enc.format(a=",compress_level=5"),
                        "ImageMagick": IM + " {f} -quality 50 {o}"}))
    rows.append(enc("encode BMP", "photo.ppm", ".bmp", "", {
        "stb_image": f"{t}/peer_stb enc {{f}} {{o}}", "netpbm": "ppmtobmp {f} > {o}",
        "Pillow": pil_enc.format(a=""), "ImageMagick": IM + " {f} BMP3:{o}"}))
    rows.append(enc("encode TGA", "photo.ppm", ".tga", "TGA_Compressed=0", {
        "stb_image": f"{t}/peer_stb enc {{f}} {{o}}", "netpbm": "ppmtotga -rgb -norle {f} > {o}",
        "Pillow": pil_enc.format(a=",compression=None"),
        "ImageMagick": IM + " {f} -compress none {o}"}))
    rows.append(enc("encode PPM", "photo.ppm", ".ppm", "", {
        "netpbm": "ppmtoppm < {f} > {o}", "Pillow": pil_enc.format(a=""),
        "ImageMagick": IM + " {f} {o}"}))
    return rows


def tiny_of(stem):
    if stem.startswith("page"):
        return stem.replace("page", "tinypage")
    return stem.replace("photo", "tiny")


def run_once(cmd):
    """CPU seconds (user + system) of the whole process tree, peak KiB, exit code.

    CPU time rather than wall time: other work on a shared machine delays a
    process without adding to its CPU time."""
    with tempfile.NamedTemporaryFile("r") as mem:
        p = subprocess.Popen(f"taskset -c 1 /usr/bin/time -f %M -o {mem.name} sh -c '{cmd}'",
                             shell=True, stderr=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(p.pid, 0)
        p.returncode = os.waitstatus_to_exitcode(status)
        cpu = usage.ru_utime + usage.ru_stime
        text = mem.read().strip().splitlines()
        peak = int(text[-1]) if text and text[-1].isdigit() else 0
    return cpu, peak, p.returncode


def quote(cmd):
    return cmd.replace("'", "'\"'\"'")


def short_task(stem):
    return stem.startswith("page")


def median(values):
    v = sorted(values)
    n = len(v)
    return v[n // 2] if n % 2 else (v[n // 2 - 1] + v[n // 2]) / 2


def measure(rows, c, runs):
    results = []
    for name, cmds, stem in rows:
        f, tiny = os.path.join(c, stem), os.path.join(c, tiny_of(stem))
        times = {k: [] for k in cmds}
        starts = {k: [] for k in cmds}
        peaks = {k: 0 for k in cmds}
        failed = set()
        short = short_task(stem)
        for _ in range(runs * (SHORT_TASK_ROUNDS if short else 1)):  # tools alternate
            for tool, tmpl in cmds.items():
                e, m, rc = run_once(quote(tmpl.replace("{f}", f)))
                s, _, _ = run_once(quote(tmpl.replace("{f}", tiny)))
                if rc != 0:
                    failed.add(tool)
                times[tool].append(e)
                starts[tool].append(s)
                peaks[tool] = max(peaks[tool], m)
        pick = median if short else min
        net = {}
        for tool in cmds:
            if tool in failed:
                continue
            s = pick(starts[tool])
            if pick(times[tool]) - s <= NOISE_FLOOR:
                failed.add(tool)  # the work is lost in the start-up's variation
                continue
            net[tool] = [t - s for t in times[tool]]
        if short:
            name += f" (medians of {len(times['pictavo'])})"
        results.append((name, net, peaks, failed, pick))
        print_row(name, net, peaks, failed, pick)
    return results


def print_row(name, net, peaks, failed, pick):
    pv = pick(net["pictavo"]) if "pictavo" in net else None
    peers = {k: pick(v) for k, v in net.items() if k != "pictavo"}
    best = min(peers, key=peers.get) if peers else None
    ratio = f"{peers[best] / pv:5.2f}" if pv and best else "  -  "
    print(f"\n{name}: ratio {ratio} against {best}", flush=True)
    for tool, ts in sorted(net.items(), key=lambda kv: pick(kv[1])):
        print(f"  {tool:14s} {pick(ts) * 1000:8.1f} ms  ({min(ts) * 1000:.1f}-{max(ts) * 1000:.1f})"
              f"  peak {peaks[tool] / 1024:6.1f} MiB", flush=True)
    for tool in sorted(failed):
        print(f"  {tool:14s} failed, or no longer than its start-up", flush=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--work", default="/tmp/pictavo-peers")
    ap.add_argument("--out", default=DEFAULT_OUT,
                    help="folder for the encoded files (default: a RAM folder, see DEFAULT_OUT)")
    ap.add_argument("--only", default="")
    a = ap.parse_args()
    os.makedirs(a.work, exist_ok=True)
    tools = build_tools(a.build, a.work)
    corpus = make_corpus(a.work)
    out = a.out or os.path.join(a.work, "out")
    os.makedirs(out, exist_ok=True)
    rows = [r for r in tasks(corpus, tools, out) if a.only.lower() in r[0].lower()]
    results = measure(rows, corpus, a.runs)
    print("\n| task | Pictavo ms (min-max) | peak MiB | best peer | peer ms | ratio |")
    print("|---|---|---|---|---|---|")
    for name, net, peaks, failed, pick in results:
        if "pictavo" not in net:
            print(f"| {name} | failed | | | | |")
            continue
        pv = net["pictavo"]
        peers = {k: pick(v) for k, v in net.items() if k != "pictavo"}
        best = min(peers, key=peers.get)
        print(f"| {name} | {pick(pv) * 1000:.1f} ({min(pv) * 1000:.1f}-{max(pv) * 1000:.1f}) | "
              f"{peaks['pictavo'] / 1024:.0f} | {best} ({peaks[best] / 1024:.0f} MiB) | "
              f"{peers[best] * 1000:.1f} | {peers[best] / pick(pv):.2f} |")


if __name__ == "__main__":
    sys.exit(main())
