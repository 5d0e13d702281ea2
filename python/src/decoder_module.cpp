// zuvrek._decoder: the decoder and encoder for Python, over mca.h alone.
// Decodes and encodes run with the GIL released, on any object with the buffer protocol (bytes,
// bytearray, memoryview, mmap); problems raise zuvrek.McaError with the
// decoder's words and status.
// It keeps to the limited API of CPython 3.9 (setup.py defines
// Py_LIMITED_API), so that one wheel serves every CPython from 3.9 on.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "mca/mca.h"

#if Py_LIMITED_API + 0 < 0x030B0000
// The buffer protocol joined the limited API in 3.11 as it had stood since
// 3.3: the same record and the same two functions, which every CPython 3
// exports. Declared here as 3.11's headers declare them, so that bytes,
// bytearray, memoryview and mmap are read where they lie on 3.9 and 3.10 too.
extern "C" {
typedef struct {
  void* buf;
  PyObject* obj;
  Py_ssize_t len;
  Py_ssize_t itemsize;
  int readonly;
  int ndim;
  char* format;
  Py_ssize_t* shape;
  Py_ssize_t* strides;
  Py_ssize_t* suboffsets;
  void* internal;
} Py_buffer;
PyAPI_FUNC(int) PyObject_GetBuffer(PyObject* exporter, Py_buffer* view, int flags);
PyAPI_FUNC(void) PyBuffer_Release(Py_buffer* view);
}
#define PyBUF_SIMPLE 0
#endif

namespace {

PyObject* g_error = nullptr;  // zuvrek.McaError, a ValueError

// Raises McaError(words) carrying .status and .words.
PyObject* Raise(const mca_problem& problem) {
  char words[MCA_DESCRIBE_ROOM];
  mca_describe(&problem, words, sizeof words);
  PyObject* error = PyObject_CallFunction(g_error, "s", words);
  if (!error) return nullptr;
  PyObject* status = PyLong_FromLong(long(problem.status));
  PyObject* text = PyUnicode_FromString(words);
  if (status && text && PyObject_SetAttrString(error, "status", status) == 0 &&
      PyObject_SetAttrString(error, "words", text) == 0) {
    PyErr_SetObject(g_error, error);
  }
  Py_XDECREF(status);
  Py_XDECREF(text);
  Py_DECREF(error);
  return nullptr;
}

// The caller's bytes, held for the call: a contiguous, read-only view.
struct Bytes {
  Py_buffer view = {};
  bool held = false;
  ~Bytes() {
    if (held) PyBuffer_Release(&view);
  }
  bool Take(PyObject* object) {
    held = PyObject_GetBuffer(object, &view, PyBUF_SIMPLE) == 0;
    return held;
  }
  const uint8_t* data() const { return static_cast<const uint8_t*>(view.buf); }
  size_t size() const { return size_t(view.len); }
  // The probe, with the GIL released.
  mca_status Probe(mca_info* info, mca_problem* problem) const {
    mca_status status;
    Py_BEGIN_ALLOW_THREADS
    status = mca_probe(data(), size(), info, problem);
    Py_END_ALLOW_THREADS
    return status;
  }
};

mca_options WithLimits(unsigned long long maxPixels, unsigned long maxDimension) {
  mca_options options;
  mca_default_options(&options);
  options.max_pixels = maxPixels;
  options.max_dimension = uint32_t(maxDimension);
  return options;
}

PyObject* ProbeAnswer(mca_status status, const mca_info& info, const mca_problem& problem) {
  char words[MCA_DESCRIBE_ROOM];
  mca_describe(&problem, words, sizeof words);
  return Py_BuildValue("(isiiii)", int(status), words, int(info.width), int(info.height), int(info.frame_count),
                       int(info.pixel_format));
}

// _probe(data) -> (status, words, width, height, frames, bits per pixel): the
// head as far as it can be read, whether or not the payloads are all there.
PyObject* Probe(PyObject*, PyObject* args) {
  PyObject* object;
  if (!PyArg_ParseTuple(args, "O:_probe", &object)) return nullptr;
  Bytes bytes;
  if (!bytes.Take(object)) return nullptr;
  mca_info info = {};
  mca_problem problem = {};
  const mca_status status = bytes.Probe(&info, &problem);
  return ProbeAnswer(status, info, problem);
}

// Reads through read_at(offset, count) -> bytes, a Python callable; a
// Python error it raises is kept for the caller to raise.
struct CallableReader {
  PyObject* readAt;
  bool failed = false;
};

int ReadThroughCallable(void* context, uint64_t offset, uint8_t* into, size_t size) {
  CallableReader& r = *static_cast<CallableReader*>(context);
  PyObject* got = PyObject_CallFunction(r.readAt, "Kn", (unsigned long long)offset, Py_ssize_t(size));
  if (!got) {
    r.failed = true;
    return 0;
  }
  Py_buffer view;
  int ok = 0;
  if (PyObject_GetBuffer(got, &view, PyBUF_SIMPLE) == 0) {
    ok = size_t(view.len) == size;
    if (ok) std::memcpy(into, view.buf, size);
    PyBuffer_Release(&view);
  } else {
    r.failed = true;
  }
  Py_DECREF(got);
  return ok;
}

// _probe_reader(read_at, size) -> as _probe: the heads alone, read through
// read_at(offset, count) from data of `size` bytes (a file object, say).
PyObject* ProbeReader(PyObject*, PyObject* args) {
  CallableReader context = {};
  unsigned long long size = 0;
  if (!PyArg_ParseTuple(args, "OK:_probe_reader", &context.readAt, &size)) return nullptr;
  const mca_reader reader = {ReadThroughCallable, &context, size};
  mca_info info = {};
  mca_problem problem = {};
  const mca_status status = mca_probe_reader(&reader, &info, &problem);
  if (context.failed) return nullptr;  // the callable's own error
  return ProbeAnswer(status, info, problem);
}

// _decode(data, width, height, max_pixels, max_dimension) -> (width, height,
// rgb): the whole picture, or (width and height above 0) scaled to exactly
// that size by the area average.
PyObject* Decode(PyObject*, PyObject* args) {
  PyObject* object;
  int width = 0, height = 0;
  unsigned long long maxPixels = 0;
  unsigned long maxDimension = 0;
  if (!PyArg_ParseTuple(args, "OiiKk:_decode", &object, &width, &height, &maxPixels, &maxDimension)) return nullptr;
  Bytes bytes;
  if (!bytes.Take(object)) return nullptr;
  const mca_options options = WithLimits(maxPixels, maxDimension);  // RGB rows, the default layout
  mca_info info = {};
  mca_problem problem = {};
  mca_status status = bytes.Probe(&info, &problem);
  if (status != MCA_OK) return Raise(problem);
  const bool scaled = width > 0 && height > 0;
  if (scaled && (width > info.width || height > info.height)) {
    return PyErr_Format(PyExc_ValueError, "size %d x %d is larger than the picture's %d x %d", width, height,
                        int(info.width), int(info.height));
  }
  if (!scaled) {
    width = info.width;
    height = info.height;
  }
  // The limits before the memory: for a scaled decode they apply to its output.
  if (mca_check_picture(&info, width, height, &options, &problem) != MCA_OK) return Raise(problem);
  size_t rowBytes = 0, all = 0;
  if (mca_buffer_size(width, height, MCA_LAYOUT_RGB, &rowBytes, &all, &problem) != MCA_OK) return Raise(problem);
  if (all > size_t(PY_SSIZE_T_MAX)) return PyErr_NoMemory();
  PyObject* rgb = PyBytes_FromStringAndSize(nullptr, Py_ssize_t(all));
  if (!rgb) return nullptr;
  uint8_t* out = reinterpret_cast<uint8_t*>(PyBytes_AsString(rgb));
  Py_BEGIN_ALLOW_THREADS
  status = mca_decode_sized(bytes.data(), bytes.size(), &options, width, height, out, rowBytes, all, &problem);
  Py_END_ALLOW_THREADS
  if (status != MCA_OK) {
    Py_DECREF(rgb);
    return Raise(problem);
  }
  return Py_BuildValue("(iiN)", width, height, rgb);
}

// Rows gathered into bands handed to a Python callable, band(y, rgb), with
// the GIL taken back for the call and released again after it.
struct Bands {
  PyObject* callback;
  PyThreadState* released;  // the decoding thread's state while the GIL is released
  uint8_t* band;
  size_t rowBytes;
  int32_t bandRows;
  int32_t height;
  int32_t first = 0;  // the band's first row
  int32_t held = 0;   // rows in the band
  bool failed = false;
};

int HandBand(Bands& b) {
  PyEval_RestoreThread(b.released);
  PyObject* rows = PyBytes_FromStringAndSize(reinterpret_cast<const char*>(b.band), Py_ssize_t(b.rowBytes * b.held));
  PyObject* answer = rows ? PyObject_CallFunction(b.callback, "iO", int(b.first), rows) : nullptr;
  Py_XDECREF(rows);
  b.failed = !answer;
  Py_XDECREF(answer);
  b.released = PyEval_SaveThread();
  b.first += b.held;
  b.held = 0;
  return b.failed;
}

int PutBandRow(void* context, int32_t y, const uint8_t* rgb) {
  Bands& b = *static_cast<Bands*>(context);
  std::memcpy(b.band + size_t(y - b.first) * b.rowBytes, rgb, b.rowBytes);
  ++b.held;
  return b.held == b.bandRows || y + 1 == b.height ? HandBand(b) : 0;
}

// _decode_bands(data, width, height, max_pixels, max_dimension, band_bytes,
// band): the picture (scaled when width x height is not its own size)
// handed top first to band(y, rgb) in bands of whole rows of about
// band_bytes, so that memory is a band whatever the picture's size.
PyObject* DecodeBands(PyObject*, PyObject* args) {
  PyObject* object;
  PyObject* callback;
  int width = 0, height = 0;
  unsigned long long maxPixels = 0;
  unsigned long maxDimension = 0;
  Py_ssize_t bandBytes = 0;
  if (!PyArg_ParseTuple(args, "OiiKknO:_decode_bands", &object, &width, &height, &maxPixels, &maxDimension,
                        &bandBytes, &callback)) {
    return nullptr;
  }
  Bytes bytes;
  if (!bytes.Take(object)) return nullptr;
  const mca_options options = WithLimits(maxPixels, maxDimension);
  mca_info info = {};
  mca_problem problem = {};
  mca_status status = bytes.Probe(&info, &problem);
  if (status != MCA_OK) return Raise(problem);
  if (width < 1 || height < 1 || width > info.width || height > info.height) {
    return PyErr_Format(PyExc_ValueError, "size %d x %d is not from 1 x 1 to the picture's %d x %d", width, height,
                        int(info.width), int(info.height));
  }
  // Whole, the bands fill a picture held in memory (Pillow's).
  if (mca_check_picture(&info, width, height, &options, &problem) != MCA_OK) return Raise(problem);
  Bands b = {callback, nullptr, nullptr, 3 * size_t(width), 1, height};
  b.bandRows = int32_t(std::max<size_t>(1, std::min<size_t>(size_t(height), size_t(bandBytes) / b.rowBytes)));
  b.band = static_cast<uint8_t*>(std::malloc(b.rowBytes * size_t(b.bandRows)));
  if (!b.band) return PyErr_NoMemory();
  const mca_row_sink sink = {nullptr, PutBandRow, &b};
  b.released = PyEval_SaveThread();
  status = mca_decode_scaled(bytes.data(), bytes.size(), &options, width, height, &sink, &problem);
  PyEval_RestoreThread(b.released);
  std::free(b.band);
  if (b.failed) return nullptr;  // the callback's own error
  if (status != MCA_OK) return Raise(problem);
  Py_RETURN_NONE;
}

// The file mca_encode writes, in memory: grown to the furthest byte written.
struct Written {
  uint8_t* bytes = nullptr;
  size_t size = 0;
  size_t room = 0;
  ~Written() { std::free(bytes); }
};

int WriteInMemory(void* context, uint64_t offset, const uint8_t* bytes, size_t size) {
  Written& w = *static_cast<Written*>(context);
  if (offset > SIZE_MAX - size) return 0;
  const size_t end = size_t(offset) + size;
  if (end > w.room) {
    const size_t room = std::max(end, 2 * w.room);
    uint8_t* grown = static_cast<uint8_t*>(std::realloc(w.bytes, room));
    if (!grown) return 0;
    w.bytes = grown;
    w.room = room;
  }
  std::memcpy(w.bytes + offset, bytes, size);
  w.size = std::max(w.size, end);
  return 1;
}

struct PixelRows {
  const uint8_t* pixels;
  size_t rowBytes;
};

int PixelRow(void* context, int32_t y, uint8_t* into) {
  const PixelRows& p = *static_cast<const PixelRows*>(context);
  std::memcpy(into, p.pixels + p.rowBytes * size_t(y), p.rowBytes);
  return 0;
}

// _encode(pixels, width, height, bytes_per_pixel, depth, level, band_height,
// like) -> the MCA file as bytes: rows of red, green, blue (and a fourth
// byte not read, for 4 bytes a pixel), top first; `like` a template's bytes
// or None. The encode runs with the GIL released.
PyObject* Encode(PyObject*, PyObject* args) {
  PyObject* pixelObject;
  PyObject* likeObject;
  int width = 0, height = 0, bytesPerPixel = 3, depth = 0, level = MCA_DEFAULT_LEVEL, bandHeight = 0;
  if (!PyArg_ParseTuple(args, "OiiiiiiO:_encode", &pixelObject, &width, &height, &bytesPerPixel, &depth, &level,
                        &bandHeight, &likeObject)) {
    return nullptr;
  }
  Bytes pixels, like;
  if (!pixels.Take(pixelObject) || (likeObject != Py_None && !like.Take(likeObject))) return nullptr;
  if (width < 1 || height < 1 || (bytesPerPixel != 3 && bytesPerPixel != 4) ||
      pixels.size() / size_t(bytesPerPixel) / size_t(width) < size_t(height)) {
    return PyErr_Format(PyExc_ValueError, "%d x %d pixels of %d bytes do not fit in %zd bytes", width, height,
                        bytesPerPixel, Py_ssize_t(pixels.size()));
  }
  mca_options options;
  mca_default_options(&options);
  options.layout = bytesPerPixel == 4 ? MCA_LAYOUT_RGBA : MCA_LAYOUT_RGB;
  options.depth = depth;
  options.level = level;
  options.band_height = bandHeight;
  options.max_pixels = 0;  // the pixels are already in memory
  options.max_dimension = 0;
  if (likeObject != Py_None) {
    options.like = like.data();
    options.like_size = like.size();
  }
  PixelRows rows{pixels.data(), size_t(bytesPerPixel) * size_t(width)};
  const mca_row_source source{PixelRow, &rows};
  Written written;
  const mca_writer writer{WriteInMemory, &written};
  mca_problem problem = {};
  mca_status status;
  Py_BEGIN_ALLOW_THREADS
  status = mca_encode(width, height, &options, &source, &writer, &problem);
  Py_END_ALLOW_THREADS
  if (status == MCA_WRITE_FAILED) return PyErr_NoMemory();
  if (status != MCA_OK) return Raise(problem);
  return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(written.bytes), Py_ssize_t(written.size));
}

// _describe(status) -> the words for a status that needs no more detail.
PyObject* DescribeStatus(PyObject*, PyObject* args) {
  int status = 0;
  if (!PyArg_ParseTuple(args, "i:_describe", &status)) return nullptr;
  const mca_problem problem = {mca_status(status), -1, 0, 0, 0, 0};
  char words[MCA_DESCRIBE_ROOM];
  mca_describe(&problem, words, sizeof words);
  return PyUnicode_FromString(words);
}

PyMethodDef kMethods[] = {
    {"_decode_bands", DecodeBands, METH_VARARGS,
     "(data, width, height, max_pixels, max_dimension, band_bytes, band): rows to band(y, rgb) in bands."},
    {"_describe", DescribeStatus, METH_VARARGS, "The words for a status."},
    {"_encode", Encode, METH_VARARGS,
     "(pixels, width, height, bytes_per_pixel, depth, level, band_height, like) -> the MCA file's bytes."},
    {"_probe", Probe, METH_VARARGS, "The head: (status, words, width, height, frames, bits per pixel)."},
    {"_probe_reader", ProbeReader, METH_VARARGS, "_probe through read_at(offset, count) of data of a size."},
    {"_decode", Decode, METH_VARARGS, "(data, width, height, max_pixels, max_dimension) -> (width, height, rgb)."},
    {nullptr, nullptr, 0, nullptr}};

PyModuleDef kModule = {PyModuleDef_HEAD_INIT, "zuvrek._decoder", "The MCA decoder over mca.h.", -1, kMethods,
                       nullptr, nullptr, nullptr, nullptr};

}  // namespace

PyMODINIT_FUNC PyInit__decoder() {
  PyObject* module = PyModule_Create(&kModule);
  if (!module) return nullptr;
  g_error = PyErr_NewExceptionWithDoc("zuvrek.McaError",
                                      "An MCA picture that cannot be decoded: .words says why, .status is the "
                                      "decoder's status.",
                                      PyExc_ValueError, nullptr);
  if (!g_error) {
    Py_DECREF(module);
    return nullptr;
  }
  Py_INCREF(g_error);  // ours, beside the one the module takes
  if (PyModule_AddObject(module, "McaError", g_error) != 0) {
    Py_DECREF(g_error);
    Py_DECREF(module);
    return nullptr;
  }
  if (PyModule_AddIntConstant(module, "DEFAULT_MAX_PIXELS", MCA_DEFAULT_MAX_PIXELS) != 0 ||
      PyModule_AddIntConstant(module, "DEFAULT_MAX_DIMENSION", MCA_DEFAULT_MAX_DIMENSION) != 0 ||
      PyModule_AddIntConstant(module, "STATUS_OK", MCA_OK) != 0 ||
      PyModule_AddIntConstant(module, "STATUS_PAYLOAD_OUTSIDE", MCA_PAYLOAD_OUTSIDE) != 0 ||
      PyModule_AddIntConstant(module, "STATUS_NO_PIXELS", MCA_NO_PIXELS) != 0 ||
      PyModule_AddIntConstant(module, "DEFAULT_LEVEL", MCA_DEFAULT_LEVEL) != 0 ||
      PyModule_AddIntConstant(module, "MAX_LEVEL", MCA_MAX_LEVEL) != 0 ||
      PyModule_AddStringConstant(module, "VERSION", MCA_VERSION_STRING) != 0) {
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
