"""Builds zuvrek for Python: the decoder (../mca, through mca.h) compiled into
the extension zuvrek._decoder, and the Pillow plug-in zuvrek.pillow.

    pip install --no-build-isolation ./python

python/tests/dists_test.sh shows how an sdist that carries the decoder is made.
"""
import glob
import os
import re

from setuptools import Extension, setup

here = os.path.dirname(os.path.abspath(__file__))
# The decoder's sources: inside an sdist, beside this file; in the zuvrek
# tree, one folder up.
root = here if os.path.isdir(os.path.join(here, "mca")) else os.path.dirname(here)
decoder = sorted(glob.glob(os.path.join(root, "mca", "*.cpp")))
if not decoder:
    raise SystemExit(f"the decoder's sources are not in {os.path.join(root, 'mca')}: build from the zuvrek tree")

# The version, as mca.h carries it.
with open(os.path.join(root, "mca", "mca.h"), encoding="utf-8") as header:
    parts = dict(re.findall(r"#define MCA_VERSION_(MAJOR|MINOR|PATCH) (\d+)", header.read()))
version = f"{parts['MAJOR']}.{parts['MINOR']}.{parts['PATCH']}"

setup(
    name="zuvrek",
    version=version,
    description="MCA pictures (F&C Canvas) for Python and Pillow",
    license="MIT",
    packages=["zuvrek"],
    ext_modules=[
        Extension(
            "zuvrek._decoder",
            sources=[os.path.join(here, "src", "decoder_module.cpp")] + decoder,
            include_dirs=[root],
            extra_compile_args=["-std=c++17", "-O2"],
            language="c++",
        )
    ],
    python_requires=">=3.9",
)
