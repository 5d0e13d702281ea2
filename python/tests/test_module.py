"""zuvrek.probe and zuvrek.decode against the native decoder."""
import mmap
import subprocess
import sys
import threading

import pytest

import zuvrek
from conftest import reference, sparse


def test_every_picture_decodes_to_the_native_decoders_pixels(pictures, tmp_path):
    decoded = 0
    for path in pictures:
        data = path.read_bytes()
        expected = reference(path, tmp_path)
        if expected is None:
            with pytest.raises(zuvrek.McaError):
                zuvrek.decode(data)
            continue
        assert zuvrek.decode(data) == expected, path.name
        info = zuvrek.probe(data)
        assert (info.width, info.height) == expected[:2] and info.bits_per_pixel in (8, 24) and info.frames >= 1
        decoded += 1
    assert decoded >= 10


def test_any_bytes_like_object(tmp_path, pictures):
    path = pictures[0]
    data = path.read_bytes()
    expected = zuvrek.decode(data)
    with open(path, "rb") as f, mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) as mapped:
        for given in (bytearray(data), memoryview(data), mapped):
            assert zuvrek.decode(given) == expected, type(given).__name__
    with pytest.raises(TypeError):
        zuvrek.decode("not bytes")


def test_scaled_to_exactly_the_size_asked_as_mcadec_fits_it(pictures, tmp_path):
    path = pictures[0]  # 160 x 120: --resize 40x40 fits it into 40 x 30
    assert zuvrek.decode(path.read_bytes(), size=(40, 30)) == reference(path, tmp_path, "--resize", "40x40")
    # Sizes out of range are the argument check's ValueError, never the
    # decoder's McaError, in each direction.
    for size, words in (((0, 5), "at least 1 x 1"), ((5, 0), "at least 1 x 1"),
                        ((161, 120), "larger than the picture's 160 x 120"),
                        ((160, 121), "larger than the picture's 160 x 120")):
        with pytest.raises(ValueError, match=words) as caught:
            zuvrek.decode(path.read_bytes(), size=size)
        assert type(caught.value) is ValueError, size
    # The limits apply to the size asked, not to the picture: 17000 x 17000
    # is over the pixel limit whole, and decodes small.
    huge = sparse(tmp_path, 17000, 17000).read_bytes()
    assert zuvrek.decode(huge, size=(170, 170))[:2] == (170, 170)
    with pytest.raises(zuvrek.McaError, match="over the size limit"):
        zuvrek.decode(huge)
    # Within the limits, a picture its payload cannot fill is refused whole alone.
    damaged = sparse(tmp_path, 16384, 16384).read_bytes()
    assert zuvrek.decode(damaged, size=(256, 256))[:2] == (256, 256)
    with pytest.raises(zuvrek.McaError, match="at most 1 byte of a 768.00 MiB picture"):
        zuvrek.decode(damaged)
    # Refused before its memory is asked for: in 512 MB of address space too.
    script = ("import resource, sys, zuvrek; resource.setrlimit(resource.RLIMIT_AS, (512 << 20, 512 << 20)); "
              "zuvrek.decode(open(sys.argv[1], 'rb').read())")
    run = subprocess.run([sys.executable, "-c", script, str(sparse(tmp_path, 16384, 16384))], capture_output=True,
                         text=True)
    assert "damaged or cut short" in run.stderr, run.stderr


@pytest.mark.parametrize("limits, refused", [
    (dict(max_pixels=100 * 50), None),
    (dict(max_pixels=100 * 50 - 1), "over the size limit of 4999 pixels"),
    (dict(max_dimension=100), None),
    (dict(max_dimension=99), "over the dimension limit of 99 pixels"),
    (dict(max_pixels=0, max_dimension=0), None),
])
def test_limits_exactly_at_and_one_past(tmp_path, limits, refused):
    data = sparse(tmp_path, 100, 50).read_bytes()
    if refused is None:
        assert zuvrek.decode(data, **limits)[:2] == (100, 50)
    else:
        with pytest.raises(zuvrek.McaError, match=refused) as caught:
            zuvrek.decode(data, **limits)
        assert isinstance(caught.value, ValueError) and caught.value.status > 0


def test_broken_files_raise_with_the_decoders_words(pictures):
    data = pictures[0].read_bytes()
    for broken, words in ((data[:200], "lies outside the file"), (b"XYZ" + data[3:], "not an MCA picture"),
                          (data[:20], "shorter than the 48-byte head"), (b"", "^the file is empty$")):
        with pytest.raises(zuvrek.McaError, match=words):
            zuvrek.decode(broken)
        with pytest.raises(zuvrek.McaError, match=words):
            zuvrek.probe(broken)


def test_threads_decode_at_once(pictures):
    data = pictures[0].read_bytes()
    expected = zuvrek.decode(data)
    results = []

    def work():
        for _ in range(20):
            results.append(zuvrek.decode(data) == expected and zuvrek.decode(data, size=(8, 6))[:2] == (8, 6))

    threads = [threading.Thread(target=work) for _ in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert results == [True] * 80


def test_encode_round_trips_and_refuses():
    """zuvrek.encode's bytes decode to its pixels in each mode; wrong sizes
    and options are refused before any work."""
    rgb = bytes(range(256)) * 3 * 7  # 7 x 256 pixels, 256 colours: 8-bit frames
    for mode, pixels in (("RGB", rgb), ("RGBX", b"".join(rgb[i:i + 3] + b"\x07" for i in range(0, len(rgb), 3)))):
        data = zuvrek.encode(7, 256, pixels, mode=mode, band_height=10)
        assert zuvrek.probe(data) == zuvrek.Info(7, 256, 26, 8)
        assert zuvrek.decode(data) == (7, 256, rgb)
    assert zuvrek.probe(zuvrek.encode(7, 256, rgb, depth=24)).bits_per_pixel == 24
    for call in (lambda: zuvrek.encode(7, 257, rgb), lambda: zuvrek.encode(7, 256, rgb, level=3),
                 lambda: zuvrek.encode(7, 256, rgb, depth=16), lambda: zuvrek.encode(7, 256, rgb, mode="L")):
        with pytest.raises(ValueError):
            call()
