#!/usr/bin/python3
"""One promise, measured through every front end that runs on Linux: a file
of 85 bytes costs little memory, whatever picture it declares.

Each front end opens two such files, made by make_large --sparse: 16384 x
16384 (exactly the default pixel limit) and 16000 x 44700 (2.1 GB of
pixels). Each run's peak resident memory (its rusage) is compared with the
same run on the 160 x 120 sample, its start, and must stay under the row's
ceiling above it. Qt 5 also keeps its whole peak under 64 MB. A full-size
read that is allowed and legitimately asked (mcadec, the page) streams rows,
so it is held to the same ceiling. Prints the table of figures.

    tests/memory_test.py SOURCE NATIVE_BUILD WEB_BUILD
"""
import os
import subprocess
import sys
import tempfile

MB = 1024  # rusage counts KiB

source, native, web = (os.path.abspath(p) for p in sys.argv[1:4])
work = tempfile.mkdtemp(prefix="zuvrek-memory-")
sample = os.path.join(source, "samples", "sample.mca")
hostile = []
for width, height in ((16384, 16384), (16000, 44700)):
    path = os.path.join(work, f"{width}x{height}.mca")
    subprocess.run([f"{native}/make_large", "--sparse", path, str(width), str(height)], check=True,
                   stdout=subprocess.DEVNULL)
    assert os.path.getsize(path) < 100
    hostile.append(path)

qt = {"QT_QPA_PLATFORM": "offscreen", "XDG_RUNTIME_DIR": work}
pixbuf = {"GDK_PIXBUF_MODULE_FILE": f"{native}/pixbuf-test/loaders.cache",
          "XDG_DATA_HOME": f"{native}/pixbuf-test"}
python = {"PYTHONPATH": f"{native}/python", "PYTHONDONTWRITEBYTECODE": "1"}
out = os.path.join(work, "out.png")
python_scaled = ("import sys, zuvrek; d = open(sys.argv[1], 'rb').read(); i = zuvrek.probe(d); "
                 "s = min(1, 256 / max(i.width, i.height)); "
                 "print(zuvrek.decode(d, size=(max(1, int(i.width * s)), max(1, int(i.height * s))))[:2])")
pillow = ("import sys, zuvrek.pillow; from PIL import Image; im = Image.open(sys.argv[1]); "
          "im.thumbnail((256, 256)); print(im.size)")

# Front end, how it reads, the command ({} is the file), its environment,
# and its ceiling in MB above the run on the sample; WHOLE marks a program
# that legitimately asks for the whole picture in memory, whose ceiling grows
# by the picture's 3 bytes a pixel where the default limits allow it.
WHOLE = "whole"
rows = [
    ("mcadec", "whole, to PNG", [f"{native}/mcadec", "-q", "-f", "-o", out, "{}"], {}, 40),
    ("gdk-pixbuf", "gdk-pixbuf-thumbnailer -s 256", ["gdk-pixbuf-thumbnailer", "-s", "256", "{}", out], pixbuf, 40),
    ("gdk-pixbuf", "gdk_pixbuf_new_from_file_at_size 256", [f"{native}/pixbuf_read", "{}", "256"], pixbuf, 40),
    ("gdk-pixbuf", "gdk_pixbuf_new_from_file, whole", [f"{native}/pixbuf_read", "{}"], pixbuf, (40, WHOLE)),
    ("Qt 5", "QImageReader", [f"{native}/qt5_read", "{}"], dict(qt, QT_PLUGIN_PATH=f"{native}/qt5"), 40),
    ("Qt 5", "QImageReader, scaled to 256", [f"{native}/qt5_read", "{}", "256"],
     dict(qt, QT_PLUGIN_PATH=f"{native}/qt5"), 40),
    ("Qt 6", "QImageReader", [f"{native}/qt6_read", "{}"], dict(qt, QT_PLUGIN_PATH=f"{native}/qt6"), 40),
    ("Qt 6", "QImageReader, scaled to 256", [f"{native}/qt6_read", "{}", "256"],
     dict(qt, QT_PLUGIN_PATH=f"{native}/qt6"), 40),
    ("Python", "zuvrek.probe, decode to 256", ["/usr/bin/python3", "-c", python_scaled, "{}"], python, 40),
    ("Pillow", "Image.open, thumbnail", ["/usr/bin/python3", "-c", pillow, "{}"], python, 40),
    # The page keeps a preview of up to 2048 x 2048 (16 MB) beside the bands.
    ("the page's module", "under Node, to PNG", ["node", f"{source}/tests/web/convert_file.mjs",
                                                 f"{web}/mca.wasm", "{}"], {}, 96),
]


def run(argv, env, path):
    """(peak KiB, exit code, first line printed) of one run."""
    with tempfile.TemporaryFile() as printed:
        child = subprocess.Popen([word.replace("{}", path) for word in argv], env=dict(os.environ, **env),
                                 stdout=printed, stderr=subprocess.STDOUT)
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)
        printed.seek(0)
        lines = [line for line in printed.read().decode(errors="replace").splitlines()
                 if line.strip() and "XDG_RUNTIME_DIR" not in line]
    return usage.ru_maxrss, child.returncode, lines[-1] if lines else ""


failures = []
table = ["| front end | how | start | 16384 x 16384 | 16000 x 44700 | ceiling |", "|---|---|---|---|---|---|"]
for name, how, argv, env, allowed in rows:
    whole = isinstance(allowed, tuple)
    start, code, said = run(argv, env, sample)
    if code != 0:
        failures.append(f"{name}, {how}: the sample fails ({said})")
    cells = []
    for path in hostile:
        peak, code, said = run(argv, env, path)
        above = (peak - start) / MB
        picture = os.path.basename(path)[:-4].replace("x", " x ")
        width, height = (int(side) for side in picture.split(" x "))
        ceiling = allowed[0] if whole else allowed
        if whole and width * height <= 268435456:
            ceiling += 3 * width * height // (1024 * 1024)
        result = "converted" if code == 0 and "refused" not in said else "refused"
        cells.append(f"{result}, +{max(above, 0):.1f} MB")
        if above > ceiling:
            failures.append(f"{name}, {how}, {picture}: {above:.1f} MB above its start, over {ceiling} MB ({said})")
        if name == "Qt 5" and peak / MB >= 64:
            failures.append(f"{name}, {how}, {picture}: a peak of {peak / MB:.1f} MB, not under 64 MB")
    limit = f"+{allowed[0]} MB, or the picture's 3 bytes a pixel more" if whole else f"+{allowed} MB"
    table.append(f"| {name} | {how} | {start / MB:.0f} MB | {cells[0]} | {cells[1]} | {limit} |")
print("\n".join(table))
subprocess.run(["rm", "-rf", work], check=True)
for failure in failures:
    print("FAIL", failure)
print(f"{2 * len(rows) - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
