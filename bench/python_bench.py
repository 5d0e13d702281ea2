"""The Python module and the Pillow plug-in beside mca_decode in C, medians of
15 rounds on the same pictures: zuvrek.decode, Image.open plus load, and the
peak memory of a 256-pixel thumbnail against a whole load.
Usage: python3 bench/python_bench.py MCA_DECODE_TIME PICTURE... (with
PYTHONPATH at the built module)."""
import statistics
import subprocess
import sys
import time

from PIL import Image

import zuvrek
import zuvrek.pillow  # noqa: F401


def median_ms(work, rounds=15):
    times = []
    for _ in range(rounds):
        start = time.perf_counter()
        work()
        times.append((time.perf_counter() - start) * 1e3)
    return statistics.median(times)


def peak_mb(path, thumbnail):
    # The peak from /proc, reset first (getrusage's carries the parent's over).
    code = ("import zuvrek.pillow\nfrom PIL import Image\n"
            "def peak():\n"
            "    return int(next(l for l in open('/proc/self/status') if l.startswith('VmHWM')).split()[1])\n"
            "open('/proc/self/clear_refs', 'w').write('5')\n"
            "before = peak()\n"
            f"with Image.open({path!r}) as im:\n"
            f"    im.thumbnail((256, 256)) if {thumbnail} else im.load()\n"
            "print((peak() - before) / 1024)\n")
    return float(subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True).stdout)


def main():
    tool, pictures = sys.argv[1], sys.argv[2:]
    print("| picture | mca_decode ms | zuvrek.decode ms | ratio | Image.open + load ms | ratio "
          "| thumbnail 256 ms | thumbnail MB | load MB |")
    print("|---|---|---|---|---|---|---|---|---|")
    for path in pictures:
        data = open(path, "rb").read()
        info = zuvrek.probe(data)
        c = float(subprocess.run([tool, path], capture_output=True, text=True, check=True).stdout)
        module = median_ms(lambda: zuvrek.decode(data))

        def pillow():
            with Image.open(path) as im:
                im.load()

        def thumbnail():
            with Image.open(path) as im:
                im.thumbnail((256, 256))

        opened = median_ms(pillow)
        thumb = median_ms(thumbnail)
        print(f"| {info.bits_per_pixel}-bit {info.width}x{info.height} | {c:.1f} | {module:.1f} | {module / c:.2f} "
              f"| {opened:.1f} | {opened / c:.2f} | {thumb:.1f} | {peak_mb(path, True):.1f} "
              f"| {peak_mb(path, False):.1f} |")


main()
