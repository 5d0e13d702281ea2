"""Builds zuvrek for Python: the decoder (../mca, through mca.h) compiled into
the extension zuvrek._decoder, and the Pillow plug-in zuvrek.pillow.

    python -m build ./python          # an sdist carrying the decoder, and a wheel from it
    pip install ./python

The extension keeps to CPython 3.9's limited API: its wheel is one abi3 wheel
for every CPython from 3.9 on.
"""
import glob
import os
import re
import shutil

from setuptools import Extension, setup
from setuptools.command.sdist import sdist

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


class SdistWithDecoder(sdist):
    """An sdist that carries the decoder's sources and the licence, so that it
    builds anywhere a compiler is."""

    def make_release_tree(self, base_dir, files):
        super().make_release_tree(base_dir, files)
        if root != here:
            target = os.path.join(base_dir, "mca")
            os.makedirs(target, exist_ok=True)
            for path in sorted(glob.glob(os.path.join(root, "mca", "*.cpp")) +
                               glob.glob(os.path.join(root, "mca", "*.h"))):
                shutil.copy2(path, target)
            shutil.copy2(os.path.join(root, "LICENSE"), base_dir)


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
            define_macros=[("Py_LIMITED_API", "0x03090000")],
            py_limited_api=True,
            extra_compile_args=["-std=c++17", "-O2"],
            language="c++",
        )
    ],
    cmdclass={"sdist": SdistWithDecoder},
    options={"bdist_wheel": {"py_limited_api": "cp39"}},
    python_requires=">=3.9",
)
