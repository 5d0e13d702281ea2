"""MCA pictures (F&C Canvas) for Python: probe and decode them to RGB.

    import zuvrek
    info = zuvrek.probe(data)            # width, height, frames, bits_per_pixel
    width, height, rgb = zuvrek.decode(data)
    width, height, rgb = zuvrek.decode(data, size=(160, 120))   # area average

`data` is any bytes-like object: bytes, bytearray, memoryview, mmap. Decoding
releases the GIL. A picture that cannot be decoded raises McaError (a
ValueError) with the decoder's words; its .status is the decoder's status.
`import zuvrek.pillow` makes Pillow open MCA pictures.
"""
from collections import namedtuple

from ._decoder import DEFAULT_MAX_DIMENSION, DEFAULT_MAX_PIXELS, McaError
from . import _decoder

__all__ = ["Info", "McaError", "probe", "decode", "DEFAULT_MAX_PIXELS", "DEFAULT_MAX_DIMENSION"]
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
