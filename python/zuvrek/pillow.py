"""MCA pictures in Pillow: importing this module registers the format.

    import zuvrek.pillow
    from PIL import Image
    Image.open("picture.mca").save("picture.png")

Image.open reads the head alone (size, mode "RGB"): a file whose frames are
cut short opens and fails at load(). Pillow's MAX_IMAGE_PIXELS applies at
open as for any format, zuvrek's limits at load. draft("RGB", size) makes
load() decode straight to a smaller size (the area average), so
Image.thumbnail of a big picture costs memory in proportion to the
thumbnail. A broken MCA file raises OSError naming the problem; a file
without the MCA signature is left to Pillow's other plug-ins.
"""
import mmap

from PIL import Image, ImageFile

from . import DEFAULT_MAX_DIMENSION, DEFAULT_MAX_PIXELS, McaError, _decoder

__all__ = ["McaImageFile"]


def _accept(prefix):
    return prefix[:3] == b"MCA"


class McaImageFile(ImageFile.ImageFile):
    format = "MCA"
    format_description = "MCA picture (F&C Canvas)"

    def _open(self):
        self._bytes = self._file_bytes()
        status, words, width, height, _frames, _bits = _decoder._probe(self._bytes)
        if status not in (_decoder.STATUS_OK, _decoder.STATUS_PAYLOAD_OUTSIDE):
            raise OSError(f"broken MCA picture: {words}")
        self._size = (width, height)
        self._full_size = (width, height)
        self.mode = "RGB"
        self.tile = []
        self._decoded = False

    def _file_bytes(self):
        # A file is mapped, so that only the pages the head lies on are read
        # until the pixels are asked for; other file objects are read whole.
        try:
            if self.fp.tell() == 0:
                return mmap.mmap(self.fp.fileno(), 0, access=mmap.ACCESS_READ)
        except (AttributeError, OSError, ValueError):
            pass
        self.fp.seek(0)
        return self.fp.read()

    def draft(self, mode, size):
        if self._decoded or not size or mode not in (None, "RGB"):
            return None
        width, height = self._full_size
        asked = [max(1, int(side)) for side in size]  # Image.thumbnail asks in floats
        factor = min(width // asked[0], height // asked[1])
        if factor < 2:
            return None
        self._size = (-(-width // factor), -(-height // factor))
        return self.mode, (0, 0) + self._size

    def load(self):
        if not self._decoded:
            # Decoded straight into the image's rows where Pillow tells where
            # they lie (4 bytes a pixel); else through bytes that Pillow copies in.
            self.im = Image.core.new(self.mode, self._size)
            rows = dict(getattr(self.im, "unsafe_ptrs", ())).get("image", 0)
            try:
                if rows:
                    _decoder._decode_into_pillow(self._bytes, *self._size, rows, DEFAULT_MAX_PIXELS,
                                                 DEFAULT_MAX_DIMENSION)
                else:
                    scaled = self._size != self._full_size
                    _, _, rgb = _decoder._decode(self._bytes, *(self._size if scaled else (0, 0)),
                                                 DEFAULT_MAX_PIXELS, DEFAULT_MAX_DIMENSION)
                    self.frombytes(rgb)
            except McaError as error:
                self.im = None
                raise OSError(f"{self.filename or 'MCA picture'}: {error.words}") from None
            self._decoded = True
            self._release_bytes()
            # As Pillow's own loaders do: a file Image.open opened is closed once read.
            if getattr(self, "_exclusive_fp", False) and self._close_exclusive_fp_after_loading and self.fp:
                self.fp.close()
                self.fp = None
        return Image.Image.load(self)

    def _release_bytes(self):
        if isinstance(self._bytes, mmap.mmap):
            self._bytes.close()
        self._bytes = None

    def close(self):
        if getattr(self, "_bytes", None) is not None:
            self._release_bytes()
        super().close()


Image.register_open(McaImageFile.format, McaImageFile, _accept)
Image.register_extension(McaImageFile.format, ".mca")
Image.register_mime(McaImageFile.format, "image/x-mca")
