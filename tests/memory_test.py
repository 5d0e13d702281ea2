#!/usr/bin/python3
"""One promise, measured in the programs people open pictures with: a file of
85 bytes costs little memory, whatever picture it declares, and a large
picture whose payload really fills it still opens whole.

Each program opens three files: two of 85 bytes made by make_large --sparse,
16384 x 16384 (exactly the default pixel limit) and 16000 x 44700 (2.1 GB of
pixels), and 4096 x 4096 made by make_large --filled (a 5.9 MB LZSS stream
of references that fills all 48 MiB). A run's figure is the peak resident
memory of the program's own process, as GNU time reports it (a child's
rusage from here would carry this script's own memory over), less the same
program's peak on the 160 x 120 sample. The 85-byte files must stay under
the row's ceiling, and Qt 5 also keeps its whole peak under 64 MB; the filled
picture must open. Prints the table of figures.

    tests/memory_test.py SOURCE NATIVE_BUILD WEB_BUILD WIN64_BUILD
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

MB = 1024  # GNU time counts KiB

source, native, web, win64 = (os.path.abspath(p) for p in sys.argv[1:5])
work = tempfile.mkdtemp(prefix="zuvrek-memory-")
sample = os.path.join(source, "samples", "sample.mca")
pictures = []
for kind, width, height in (("--sparse", 16384, 16384), ("--sparse", 16000, 44700), ("--filled", 4096, 4096)):
    path = os.path.join(work, f"{width}x{height}{kind.replace('--', '-')}.mca")
    subprocess.run([f"{native}/make_large", kind, path, str(width), str(height)], check=True,
                   stdout=subprocess.DEVNULL)
    assert kind != "--sparse" or os.path.getsize(path) < 100
    pictures.append((path, width, height, kind == "--filled"))

# eog draws on an X server of its own.
display_pipe, display_out = os.pipe()
xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(display_out), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                        pass_fds=[display_out], stderr=subprocess.DEVNULL)
os.close(display_out)
display = ":" + os.read(display_pipe, 16).decode().strip()

qt = {"QT_QPA_PLATFORM": "offscreen", "XDG_RUNTIME_DIR": work}
pixbuf = {"GDK_PIXBUF_MODULE_FILE": f"{native}/pixbuf-test/loaders.cache",
          "XDG_DATA_HOME": f"{native}/pixbuf-test"}
eog = dict(pixbuf, DISPLAY=display, XDG_RUNTIME_DIR=work, XDG_CONFIG_HOME=work, XDG_CACHE_HOME=work, NO_AT_BRIDGE="1")
python = {"PYTHONPATH": f"{native}/python", "PYTHONDONTWRITEBYTECODE": "1"}
wine = {"WINEPREFIX64": os.path.join(work, "wine64")}
out = os.path.join(work, "out.png")
python_scaled = ("import sys, zuvrek; d = open(sys.argv[1], 'rb').read(); i = zuvrek.probe(d); "
                 "s = min(1, 256 / max(i.width, i.height)); "
                 "print(zuvrek.decode(d, size=(max(1, int(i.width * s)), max(1, int(i.height * s))))[:2])")
pillow = ("import sys, zuvrek.pillow; from PIL import Image; im = Image.open(sys.argv[1]); "
          "im.thumbnail((256, 256)); print(im.size)")
pillow_whole = ("import sys, zuvrek.pillow; from PIL import Image; im = Image.open(sys.argv[1]); "
                "im.load(); print(im.size)")

# Program, how it reads, the command ({} is the file), its environment, and
# its ceiling in MB above the run on the sample. A GUI program (eog) runs
# until it has been idle for a while, and is then closed.
GUI = "gui"
rows = [
    ("eog", "under Xvfb, whole", ["eog", "{}"], eog, 40, GUI),
    ("gdk-pixbuf", "gdk_pixbuf_new_from_file, whole", [f"{native}/pixbuf_read", "{}"], pixbuf, 40),
    ("gdk-pixbuf", "gdk_pixbuf_new_from_file_at_size 256", [f"{native}/pixbuf_read", "{}", "256"], pixbuf, 40),
    ("gdk-pixbuf", "gdk-pixbuf-thumbnailer -s 256", ["gdk-pixbuf-thumbnailer", "-s", "256", "{}", out], pixbuf, 40),
    ("zuvrek.sph", "our host under wine64, whole",
     [f"{source}/cmake/wine64-run.sh", f"{win64}/spihost64.exe", f"{win64}/zuvrek.sph", "{}",
      os.path.join(work, "out.bmp")], wine, 40),
    ("mcadec", "whole, rows to PNG", [f"{native}/mcadec", "-q", "-f", "-o", out, "{}"], {}, 40),
    ("Qt 5", "QImageReader, whole", [f"{native}/qt5_read", "{}"], dict(qt, QT_PLUGIN_PATH=f"{native}/qt5"), 40),
    ("Qt 5", "QImageReader, scaled to 256", [f"{native}/qt5_read", "{}", "256"],
     dict(qt, QT_PLUGIN_PATH=f"{native}/qt5"), 40),
    ("Qt 6", "QImageReader, whole", [f"{native}/qt6_read", "{}"], dict(qt, QT_PLUGIN_PATH=f"{native}/qt6"), 40),
    ("Qt 6", "QImageReader, scaled to 256", [f"{native}/qt6_read", "{}", "256"],
     dict(qt, QT_PLUGIN_PATH=f"{native}/qt6"), 40),
    ("Python", "zuvrek.probe, decode to 256", ["/usr/bin/python3", "-c", python_scaled, "{}"], python, 40),
    ("Pillow", "Image.open, load, whole", ["/usr/bin/python3", "-c", pillow_whole, "{}"], python, 40),
    ("Pillow", "Image.open, thumbnail", ["/usr/bin/python3", "-c", pillow, "{}"], python, 40),
    # The page keeps a preview of up to 2048 x 2048 (16 MB) beside the bands.
    ("the page's module", "under Node, to PNG", ["node", f"{source}/tests/web/convert_file.mjs",
                                                 f"{web}/mca.wasm", "{}"], {}, 96),
]


def cpu_ticks(pid):
    """User and system ticks of a process and its threads; None once it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    except (OSError, IndexError):
        return None


def close_when_idle(timer):
    """Closes the GUI program under `timer` once it has used no processor for
    a second (it has shown the picture or its error), after two seconds at
    least and sixty at most."""
    start = time.monotonic()
    program = None
    last, since = None, time.monotonic()
    while time.monotonic() - start < 60 and timer.poll() is None:
        time.sleep(0.25)
        if program is None:
            try:
                with open(f"/proc/{timer.pid}/task/{timer.pid}/children") as children:
                    program = int(children.read().split()[0])
            except (OSError, IndexError, ValueError):
                continue
        ticks = cpu_ticks(program)
        if ticks != last:
            last, since = ticks, time.monotonic()
        elif time.monotonic() - since >= 1 and time.monotonic() - start >= 2:
            break
    if program is not None and timer.poll() is None:
        os.kill(program, signal.SIGTERM)


def run(argv, env, path, gui):
    """(peak KiB, exit code, last line printed) of one run."""
    with tempfile.NamedTemporaryFile(dir=work) as peak, tempfile.TemporaryFile() as printed:
        timer = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak.name] +
                                 [word.replace("{}", path) for word in argv], env=dict(os.environ, **env),
                                 stdout=printed, stderr=subprocess.STDOUT)
        if gui:
            close_when_idle(timer)
        code = timer.wait(timeout=300)
        printed.seek(0)
        lines = [line for line in printed.read().decode(errors="replace").splitlines()
                 if line.strip() and "XDG_RUNTIME_DIR" not in line and not line.startswith("wine:")]
        kib = int(open(peak.name).read().split()[-1])
    return kib, 0 if gui else code, lines[-1] if lines else ""


failures = []
table = ["| program | how | start | 16384 x 16384, 85 bytes | 16000 x 44700, 85 bytes | 4096 x 4096, filled | "
         "ceiling |", "|---|---|---|---|---|---|---|"]
try:
    for name, how, argv, env, ceiling, *kind in rows:
        gui = kind == [GUI]
        run(argv, env, sample, gui)  # a first run sets up what the program keeps (Wine's prefix, caches)
        start, code, said = run(argv, env, sample, gui)
        if code != 0:
            failures.append(f"{name}, {how}: the sample fails ({said})")
        cells = []
        for path, width, height, filled in pictures:
            peak, code, said = run(argv, env, path, gui)
            above = (peak - start) / MB
            picture = f"{width} x {height}"
            if gui:  # a viewer says nothing: what it holds tells whether it shows the picture
                opened = above >= 3 * width * height / (1024 * 1024)
            else:
                opened = code == 0 and "refused" not in said
            cells.append(f"{'opened' if opened else 'refused'}, +{max(above, 0):.1f} MB")
            if filled:
                if not opened:
                    failures.append(f"{name}, {how}: the filled {picture} picture does not open ({said})")
                continue
            if above > ceiling:
                failures.append(f"{name}, {how}, {picture}: {above:.1f} MB above its start, over {ceiling} MB ({said})")
            if name == "Qt 5" and peak / MB >= 64:
                failures.append(f"{name}, {how}, {picture}: a peak of {peak / MB:.1f} MB, not under 64 MB")
        table.append(f"| {name} | {how} | {start / MB:.0f} MB | {' | '.join(cells)} | +{ceiling} MB |")
finally:
    xvfb.terminate()
    xvfb.wait()
    subprocess.run(["/usr/lib/wine/wineserver64", "-w"], env=dict(os.environ, WINEPREFIX=wine["WINEPREFIX64"]))
print("\n".join(table))
subprocess.run(["rm", "-rf", work], check=True)
for failure in failures:
    print("FAIL", failure)
print(f"{3 * len(rows) - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
