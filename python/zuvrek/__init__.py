"""MCA pictures (F&C Canvas) for Python: probe and decode them to RGB, and
write RGB as MCA.

    import zuvrek
    info = zuvrek.probe(data)            # width, height, frames, bits_per_pixel
    width, height, rgb = zuvrek.decode(data)
    width, height, rgb = zuvrek.decode(data, size=(160, 120))   # area average
    data = zuvrek.encode(width, height, rgb)                    # MCA bytes
    data = zuvrek.encode(width, height, rgb, like=original)     # after a template

`data` is any bytes-like object: bytes, bytearray, memoryview, mmap. Decoding
releases the GIL. A picture that cannot be decoded raises McaError (a
ValueError) with the decoder's words; its .status is the decoder's status.
`import zuvrek.pillow` makes Pillow open and save MCA pictures.
"""
from collections import namedtuple

from ._decoder import DEFAULT_MAX_DIMENSION, DEFAULT_MAX_PIXELS, McaError
from . import _decoder

__all__ = ["Info", "McaError", "probe", "decode", "encode", "DEFAULT_MAX_PIXELS", "DEFAULT_MAX_DIMENSION"]
__version__ = _decoder.VERSION

Info = namedtuple("Info", "width height frames bits_per_pixel")
Info.__doc__ = "An MCA picture's geometry: its size, its frames, and their bits per pixel (8 or 24)."


def probe(data):
    """The picture's Info, decoding nothing; McaError when it is not a sound MCA picture."""
    status, words, width, height, frames, bits = _decoder._probe(data)
    if status != _decoder.STATUS_OK:
        error = McaError(words)
        error.status, error.words = status, words
        raise error
    return Info(width, height, frames, bits)


def decode(data, *, size=None, max_pixels=DEFAULT_MAX_PIXELS, max_dimension=DEFAULT_MAX_DIMENSION):
    """(width, height, rgb): rows top first, 3 bytes a pixel.

    size=(w, h) decodes to exactly that size, each pixel the area average of
    what it covers (each side from 1 up to the picture's own); the limits
    (0: none) then apply to that size, else to the picture.
    """
    width = height = 0
    if size is not None:
        width, height = (int(side) for side in size)
        if width < 1 or height < 1:
            raise ValueError(f"size must be at least 1 x 1, not {width} x {height}")
    if max_pixels < 0 or max_dimension < 0:
        raise ValueError("limits are 0 (none) or more")
    return _decoder._decode(data, width, height, int(max_pixels), int(max_dimension))


def encode(width, height, pixels, *, mode="RGB", depth=0, level=_decoder.DEFAULT_LEVEL, band_height=0, like=None):
    """The MCA file for width x height pixels, as bytes.

    pixels: rows top first, 3 bytes a pixel (mode "RGB") or 4 ("RGBX" or
    "RGBA": the fourth byte is not read), any bytes-like object. depth: 0
    (8-bit for 256 colours or fewer, else 24-bit), 8 or 24. level: 0 (frames
    stored) to zuvrek's most (fewest bytes, slower). band_height: rows in a
    frame, 0 for about 256 KiB of rows. like: the bytes of an MCA file whose
    head, frames and unread bytes the new one keeps (then the depth and bands
    are its own). McaError when it cannot be written.
    """
    sizes = {"RGB": 3, "RGBX": 4, "RGBA": 4}
    if mode not in sizes:
        raise ValueError(f"mode must be RGB, RGBX or RGBA, not {mode}")
    if not 0 <= level <= _decoder.MAX_LEVEL:
        raise ValueError(f"level must be from 0 to {_decoder.MAX_LEVEL}, not {level}")
    if depth not in (0, 8, 24) or band_height < 0:
        raise ValueError("depth is 0, 8 or 24; band_height 0 or more")
    return _decoder._encode(pixels, int(width), int(height), sizes[mode], depth, level, band_height, like)
