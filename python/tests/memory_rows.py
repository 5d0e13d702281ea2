# The Python module's rows in tests/memory_test.py: a scaled decode, and
# Pillow's whole load and thumbnail through the registered plug-in.
python = {"PYTHONPATH": f"{native}/python", "PYTHONDONTWRITEBYTECODE": "1"}
python_scaled = ("import sys, zuvrek; d = open(sys.argv[1], 'rb').read(); i = zuvrek.probe(d); "
                 "s = min(1, 256 / max(i.width, i.height)); "
                 "print(zuvrek.decode(d, size=(max(1, int(i.width * s)), max(1, int(i.height * s))))[:2])")
pillow = ("import sys, zuvrek.pillow; from PIL import Image; im = Image.open(sys.argv[1]); "
          "im.thumbnail((256, 256)); print(im.size)")
pillow_whole = ("import sys, zuvrek.pillow; from PIL import Image; im = Image.open(sys.argv[1]); "
                "im.load(); print(im.size)")
rows = [
    ("Python", "zuvrek.probe, decode to 256", ["/usr/bin/python3", "-c", python_scaled, "{}"], python, 40),
    ("Pillow", "Image.open, load, whole", ["/usr/bin/python3", "-c", pillow_whole, "{}"], python, 40),
    ("Pillow", "Image.open, thumbnail", ["/usr/bin/python3", "-c", pillow, "{}"], python, 40),
]
