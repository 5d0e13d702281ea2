# The plug-in's rows in tests/memory_test.py: the 64-bit plug-in in our host
# under wine64, in a Wine prefix of the test's own.
wine = {"WINEPREFIX64": os.path.join(work, "wine64")}
rows = [
    ("zuvrek.sph", "our host under wine64, whole",
     [f"{source}/cmake/wine64-run.sh", f"{win64}/spihost64.exe", f"{win64}/zuvrek.sph", "{}",
      os.path.join(work, "out.bmp")], wine, 40),
]


def after():
    subprocess.run(["/usr/lib/wine/wineserver64", "-w"], env=dict(os.environ, WINEPREFIX=wine["WINEPREFIX64"]))
