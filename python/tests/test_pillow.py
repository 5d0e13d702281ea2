"""zuvrek.pillow: MCA pictures through Pillow's own Image.open."""
import io
import subprocess
import sys
import textwrap

import pytest
from PIL import Image, UnidentifiedImageError

import zuvrek.pillow  # noqa: F401  (registers the format)
from conftest import SOURCE, reference, sparse, tool


def test_open_reads_the_head_and_load_gives_the_native_pixels(pictures, tmp_path):
    for path in pictures:
        expected = reference(path, tmp_path)
        if expected is None:
            continue
        for source in (path, io.BytesIO(path.read_bytes())):  # a file, and an object without fileno
            with Image.open(source) as im:
                assert (im.format, im.mode, im.size, im.get_format_mimetype()) == \
                    ("MCA", "RGB", expected[:2], "image/x-mca")
                assert im.tobytes() == expected[2], path.name
                assert set(im.tobytes("raw", "RGBX")[3::4]) <= {255}, "Pillow's pad byte, as its own loaders set it"
    # Saved as PNG and read back by Pillow's own PNG plug-in: the same pixels.
    with Image.open(pictures[0]) as im:
        im.save(tmp_path / "out.png")
    with Image.open(tmp_path / "out.png") as png:
        assert png.convert("RGB").tobytes() == reference(pictures[0], tmp_path)[2]


def test_broken_and_foreign_files(pictures, tmp_path):
    data = pictures[0].read_bytes()
    cut = tmp_path / "cut.mca"
    cut.write_bytes(data[:-100])  # the last frame's payload cut short: opens, fails at load
    with Image.open(cut) as im:
        assert im.size == (160, 120)
        with pytest.raises(OSError, match="cut.mca: frame 3's payload lies outside the file"):
            im.load()
    head = tmp_path / "head.mca"
    head.write_bytes(data[:20])
    with pytest.raises(OSError, match="shorter than the 48-byte head"):
        Image.open(head)
    other = tmp_path / "other.mca"
    other.write_bytes(b"not a picture at all")
    with pytest.raises(UnidentifiedImageError):
        Image.open(other)
    # A picture of no pixels, either side 0: refused at open, whatever the other side.
    for width, height in ((5, 0), (0, 5)):
        empty = tmp_path / f"{width}x{height}.mca"
        head = bytearray(b"MCA" + bytes(45))
        head[20:24] = (24).to_bytes(4, "little")  # 24-bit frames
        head[32:36] = (1).to_bytes(4, "little")  # one frame, its head right after the table
        frame = bytearray(32)
        frame[12:16] = width.to_bytes(4, "little")
        frame[16:20] = height.to_bytes(4, "little")
        empty.write_bytes(bytes(head) + (52).to_bytes(4, "little") + bytes(frame))
        with pytest.raises(OSError, match="the picture has no pixels"):
            Image.open(empty)


class Stream:
    """A file object of read, seek and tell alone (a zip member, a network
    stream), counting the bytes read."""

    def __init__(self, data):
        self._data = io.BytesIO(data)
        self.bytes_read = 0

    def read(self, count=-1):
        chunk = self._data.read(count)
        self.bytes_read += len(chunk)
        return chunk

    def seek(self, offset, whence=0):
        return self._data.seek(offset, whence)

    def tell(self):
        return self._data.tell()


def test_open_reads_the_heads_alone_from_any_file_object(pictures, tmp_path):
    path = pictures[0]
    stream = Stream(path.read_bytes())
    with Image.open(stream) as im:
        assert im.size == (160, 120)
        assert stream.bytes_read < 1024, f"open read {stream.bytes_read} of {path.stat().st_size} bytes"
        assert im.tobytes() == reference(path, tmp_path)[2]
    # A picture with no pixels says so, and errors at open name the file.
    for source, words in ((SOURCE / "fuzz" / "corpus" / "picture" / "empty.mca", r"empty\.mca: the picture has no"),
                          (Stream(b"MCA" + bytes(20)), "MCA picture: broken MCA picture: the file is shorter")):
        with pytest.raises(OSError, match=words):
            Image.open(source)


def test_a_bomb_of_85_bytes_is_refused_at_open(tmp_path):
    bomb = sparse(tmp_path, 16000, 44700)
    assert bomb.stat().st_size < 100
    with pytest.raises(Image.DecompressionBombError):
        Image.open(bomb)


def test_thumbnail_of_a_big_picture_in_memory_of_the_thumbnail(tmp_path):
    # 12000 x 7000 (84 megapixels, under Pillow's bomb limit) is 252 MB as RGB.
    big = sparse(tmp_path, 12000, 7000)
    # The peak is read from /proc, reset first: getrusage's would carry the
    # parent's peak over into the child.
    script = textwrap.dedent(f"""
        import zuvrek.pillow
        from PIL import Image
        def peak():
            return int(next(l for l in open('/proc/self/status') if l.startswith('VmHWM')).split()[1])
        open('/proc/self/clear_refs', 'w').write('5')
        before = peak()
        with Image.open({str(big)!r}) as im:
            im.thumbnail((256, 256))
            assert im.size == (256, 149), im.size
        print((peak() - before) // 1024)
    """)
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True)
    assert int(run.stdout) < 40, f"thumbnail took {run.stdout.strip()} MB more"


def test_draft_decodes_small_and_our_limits_apply_at_load(tmp_path):
    picture = sparse(tmp_path, 2000, 1000)
    # Whole factors only, never below the size asked: 2 is the smallest; a
    # factor that does not divide rounds the size up (2000 / 3 is 667, 1000 / 3 is 334).
    for asked, drafted in (((500, 250), (500, 250)), ((1000, 500), (1000, 500)), ((1001, 500), None),
                           ((666, 333), (667, 334)), ((667, 334), (1000, 500)), ((668, 334), (1000, 500)),
                           ((1000, 333), (1000, 500))):
        with Image.open(picture) as im:
            assert im.draft("RGB", asked) == (drafted and ("RGB", (0, 0) + drafted)), asked
            im.load()
            assert im.size == (drafted or (2000, 1000)), asked
    # Pillow's limit lifted, ours still holds: 17000 x 17000 is over 268435456 pixels.
    limit = Image.MAX_IMAGE_PIXELS
    Image.MAX_IMAGE_PIXELS = None
    try:
        with Image.open(sparse(tmp_path, 17000, 17000)) as im:
            with pytest.raises(OSError, match="over the size limit of 268435456 pixels"):
                im.load()
        with Image.open(sparse(tmp_path, 16384, 16384)) as im:
            with pytest.raises(OSError, match="it is damaged or cut short"):
                im.load()
        # Asked small, the limits apply to the smaller size.
        with Image.open(sparse(tmp_path, 17000, 17000)) as im:
            im.draft("RGB", (170, 170))
            im.load()
            assert im.size == (170, 170)
    finally:
        Image.MAX_IMAGE_PIXELS = limit


def test_a_picture_of_many_bands_loads_whole(tmp_path):
    # 16000 x 100 of noise: Pillow takes it in bands of 21 rows, the last of 16.
    path = tmp_path / "bands.mca"
    subprocess.run([tool("make_large"), str(path), "1"], check=True, capture_output=True)
    with Image.open(path) as im:
        assert im.size == (16000, 100)
        assert im.tobytes() == reference(path, tmp_path)[2]


def test_save_writes_what_every_reader_gives_back(pictures, tmp_path):
    """Every mode Pillow converts to RGB, saved as MCA and read back by
    Pillow and by mcadec: the picture's RGB pixels exactly."""
    with Image.open(pictures[0]) as im:
        photo = im.convert("RGB")
    cases = {
        "RGB": photo,
        "odd width, one row": photo.crop((0, 0, 37, 1)),
        "one pixel": photo.crop((5, 5, 6, 6)),
        "L": photo.convert("L"),
        "1": photo.convert("1"),
        "P": photo.convert("P", palette=Image.Palette.ADAPTIVE, colors=100),
        "opaque RGBA": photo.convert("RGBA"),
        "opaque LA": photo.convert("LA"),
    }
    for name, im in cases.items():
        out = tmp_path / "saved.mca"
        im.save(out)
        with Image.open(out) as back:
            assert back.format == "MCA" and back.tobytes() == im.convert("RGB").tobytes(), name
        assert reference(out, tmp_path)[2] == im.convert("RGB").tobytes(), name
    # Through a file object, with the options, after a template.
    buffer = io.BytesIO()
    photo.save(buffer, "MCA", like=str(pictures[0]), level=2)
    assert buffer.getvalue()[:48] == pictures[0].read_bytes()[:48]
    with Image.open(buffer) as back:
        assert back.tobytes() == photo.tobytes()
    with pytest.raises(OSError, match="the picture is 37 x 1 but its template is 160 x 120"):
        cases["odd width, one row"].save(io.BytesIO(), "MCA", like=pictures[0].read_bytes())
    clear = photo.convert("RGBA")
    clear.putpixel((3, 3), (0, 0, 0, 128))
    with pytest.raises(OSError, match="transparent pixels"):
        clear.save(tmp_path / "clear.mca")
    with pytest.raises(OSError, match="more than 256 colours"):
        photo.save(io.BytesIO(), "MCA", depth=8)
