"""What the tests share: the reference pixels (mcadec, the native decoder, as
PPM) and pictures made by our own tools. Paths come from the environment
that ctest sets: ZUVREK_SOURCE, ZUVREK_MCADEC, ZUVREK_MAKE_LARGE."""
import os
import pathlib
import subprocess

import pytest

SOURCE = pathlib.Path(os.environ.get("ZUVREK_SOURCE", pathlib.Path(__file__).resolve().parents[2]))


def tool(name):
    path = os.environ.get(f"ZUVREK_{name.upper()}")
    if not path:
        pytest.skip(f"ZUVREK_{name.upper()} names no {name} (ctest sets it)")
    return path


def reference(path, tmp_path, *options):
    """(width, height, rgb) as mcadec writes it; None when mcadec refuses the file."""
    out = tmp_path / (pathlib.Path(path).stem + ".ppm")
    run = subprocess.run([tool("mcadec"), "-q", "-f", *options, "-o", str(out), str(path)], capture_output=True)
    if run.returncode != 0:
        return None
    data = out.read_bytes()
    magic, width, height, _maxval, pixels = data.split(maxsplit=4)
    assert magic == b"P6"
    return int(width), int(height), pixels


def sparse(tmp_path, width, height):
    """A black width x height picture in a file of a few bytes (make_large --sparse)."""
    path = tmp_path / f"sparse-{width}x{height}.mca"
    subprocess.run([tool("make_large"), "--sparse", str(path), str(width), str(height)], check=True,
                   capture_output=True)
    return path


@pytest.fixture(scope="session")
def pictures():
    """The committed pictures our builder wrote: the sample and the fuzzers' seeds."""
    return [SOURCE / "samples" / "sample.mca"] + sorted((SOURCE / "fuzz" / "corpus" / "picture").glob("*.mca"))
