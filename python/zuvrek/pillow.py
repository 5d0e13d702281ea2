"""MCA pictures in Pillow: importing this module registers the format.

    import zuvrek.pillow
    from PIL import Image
    Image.open("picture.mca").save("picture.png")
    Image.open("edited.png").save("picture.mca")
    im.save(f, "MCA", like="original.mca")   # keeps the original's head and frames

Image.open reads the heads alone (size, mode "RGB"), from a file or any
file object: a file whose frames are cut short opens and fails at load().
Pillow's MAX_IMAGE_PIXELS applies at open as for any format, zuvrek's limits
at load. draft("RGB", size) makes load() decode straight to a smaller size
(the area average), so Image.thumbnail of a big picture costs memory in
proportion to the thumbnail. A broken MCA file raises OSError naming the
file and the problem; a file without the MCA signature is left to Pillow's
other plug-ins.

Saving takes every mode Pillow converts to RGB; a mode with transparency
(RGBA, LA, PA, or a palette with a transparent colour) is written when every
pixel is opaque, else refused with OSError, as MCA holds no transparency
(flatten it first). The save's options: like (a path, bytes or a file
object: an MCA file to follow), depth (0, 8 or 24), level, band_height.

The plug-in is written as Pillow's own are, through its public interface
alone: the decoder registered with Image.register_decoder takes the file
from Pillow and hands the rows in bands to set_as_raw.
"""
import mmap

from PIL import Image, ImageFile

from . import DEFAULT_MAX_DIMENSION, DEFAULT_MAX_PIXELS, McaError, _decoder, encode

__all__ = ["McaImageFile"]

_BAND_BYTES = 1 << 20  # rows handed to Pillow at once


def _accept(prefix):
    return prefix[:3] == b"MCA"


def _name(fp, filename=None):
    return str(filename or getattr(fp, "name", "") or "MCA picture")


class McaImageFile(ImageFile.ImageFile):
    format = "MCA"
    format_description = "MCA picture (F&C Canvas)"

    def _open(self):
        fp = self.fp
        fp.seek(0, 2)
        length = fp.tell()

        def read_at(offset, count):
            fp.seek(offset)
            return fp.read(count)

        status, words, width, height, _frames, _bits = _decoder._probe_reader(read_at, length)
        if status not in (_decoder.STATUS_OK, _decoder.STATUS_PAYLOAD_OUTSIDE):
            raise OSError(f"{_name(fp, self.filename)}: broken MCA picture: {words}")
        if width == 0 or height == 0:
            raise OSError(f"{_name(fp, self.filename)}: {_decoder._describe(_decoder.STATUS_NO_PIXELS)}")
        self._size = (width, height)
        self._full_size = (width, height)
        self._mode = "RGB"
        self._tile_for(self._size)

    # Pillow before 10.1 keeps the mode in .mode, later ones in ._mode behind
    # a read-only property.
    if not isinstance(getattr(ImageFile.ImageFile, "mode", None), property):

        @property
        def _mode(self):
            return self.mode

        @_mode.setter
        def _mode(self, mode):
            self.mode = mode

    def _tile_for(self, size):
        self.tile = [("mca", (0, 0) + size, 0, (self._full_size, _name(self.fp, self.filename)))]

    def draft(self, mode, size):
        if not self.tile or not size or mode not in (None, "RGB"):
            return None
        width, height = self._full_size
        asked = [max(1, int(side)) for side in size]  # Image.thumbnail asks in floats
        factor = min(width // asked[0], height // asked[1])
        if factor < 2:
            return None
        self._size = (-(-width // factor), -(-height // factor))
        self._tile_for(self._size)
        return self.mode, (0, 0) + self._size


class McaDecoder(ImageFile.PyDecoder):
    """Decodes the whole file, which it takes from Pillow, into the tile's
    size: the picture's own, or smaller by the area average."""

    _pulls_fd = True

    def decode(self, buffer):
        _full_size, name = self.args
        self._tile = self.state.extents()
        x0, y0, x1, y1 = self._tile
        data = _file_bytes(self.fd)
        try:
            _decoder._decode_bands(data, x1 - x0, y1 - y0, DEFAULT_MAX_PIXELS, DEFAULT_MAX_DIMENSION, _BAND_BYTES,
                                   self._band)
        except McaError as error:
            raise OSError(f"{name}: {error.words}") from None
        finally:
            if isinstance(data, mmap.mmap):
                data.close()
        return -1, 0

    def _band(self, y, rgb):
        x0, y0, x1, _ = self._tile
        rows = len(rgb) // (3 * (x1 - x0))
        self.setimage(self.im, (x0, y0 + y, x1, y0 + y + rows))
        self.set_as_raw(rgb, "RGB")


def _file_bytes(fp):
    # A file is mapped, so that its pages are read as the decode reaches
    # them; other file objects are read whole.
    try:
        fp.seek(0)
        return mmap.mmap(fp.fileno(), 0, access=mmap.ACCESS_READ)
    except (AttributeError, OSError, ValueError):
        pass
    fp.seek(0)
    return fp.read()


def _template(like):
    if like is None or isinstance(like, (bytes, bytearray, memoryview)):
        return like
    if hasattr(like, "read"):
        return like.read()
    with open(like, "rb") as f:
        return f.read()


def _save(im, fp, filename):
    name = _name(fp, filename)
    alpha = im.mode in ("RGBA", "LA", "PA", "RGBa", "La") or (im.mode == "P" and "transparency" in im.info)
    rgba = im.convert("RGBA") if alpha else None
    if rgba is not None and rgba.getextrema()[3][0] < 255:
        raise OSError(f"{name}: cannot write mode {im.mode} with transparent pixels as MCA (flatten it first)")
    rgb = (rgba or im).convert("RGB") if im.mode != "RGB" else im
    info = im.encoderinfo
    try:
        data = encode(rgb.width, rgb.height, rgb.tobytes(), depth=info.get("depth", 0),
                      level=info.get("level", _decoder.DEFAULT_LEVEL), band_height=info.get("band_height", 0),
                      like=_template(info.get("like")))
    except McaError as error:
        raise OSError(f"{name}: {error.words}") from None
    fp.write(data)


Image.register_open(McaImageFile.format, McaImageFile, _accept)
Image.register_save(McaImageFile.format, _save)
Image.register_decoder("mca", McaDecoder)
Image.register_extension(McaImageFile.format, ".mca")
Image.register_mime(McaImageFile.format, "image/x-mca")
