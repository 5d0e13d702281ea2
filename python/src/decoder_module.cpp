// zuvrek._decoder: the decoder for Python, over mca.h alone. Decodes run
// with the GIL released, on any object with the buffer protocol (bytes,
// bytearray, memoryview, mmap); problems raise zuvrek.McaError with the
// decoder's words and status.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstring>

#include "mca/mca.h"

namespace {

PyObject* g_error = nullptr;  // zuvrek.McaError, a ValueError

// Raises McaError(words) carrying .status and .words.
PyObject* Raise(const mca_problem& problem) {
  char words[256];
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
  char words[256];
  mca_describe(&problem, words, sizeof words);
  return Py_BuildValue("(isiiii)", int(status), words, int(info.width), int(info.height), int(info.frame_count),
                       int(info.pixel_format));
}

struct Rows {
  uint8_t* out;
  size_t rowBytes;
};

int PutRow(void* context, int32_t y, const uint8_t* rgb) {
  Rows& rows = *static_cast<Rows*>(context);
  std::memcpy(rows.out + size_t(y) * rows.rowBytes, rgb, rows.rowBytes);
  return 0;
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
  if (mca_check_limits(width, height, &options, &problem) != MCA_OK) return Raise(problem);
  if (width == 0 || height == 0) {
    problem = mca_problem{MCA_NO_PIXELS, -1, 0, 0, 0, 0};
    return Raise(problem);
  }
  const size_t rowBytes = 3 * size_t(width);
  PyObject* rgb = PyBytes_FromStringAndSize(nullptr, Py_ssize_t(rowBytes * size_t(height)));
  if (!rgb) return nullptr;
  uint8_t* out = reinterpret_cast<uint8_t*>(PyBytes_AS_STRING(rgb));
  Py_BEGIN_ALLOW_THREADS
  if (scaled) {
    Rows rows = {out, rowBytes};
    const mca_row_sink sink = {nullptr, PutRow, &rows};
    status = mca_decode_scaled(bytes.data(), bytes.size(), &options, width, height, &sink, &problem);
  } else {
    status = mca_decode(bytes.data(), bytes.size(), &options, out, rowBytes, rowBytes * size_t(height), &problem);
  }
  Py_END_ALLOW_THREADS
  if (status != MCA_OK) {
    Py_DECREF(rgb);
    return Raise(problem);
  }
  return Py_BuildValue("(iiN)", width, height, rgb);
}

// Rows of 4 bytes a pixel (red, green, blue, 255), as Pillow keeps an RGB
// image, at the row pointers Pillow gives (Image.im.unsafe_ptrs).
struct PillowRows {
  uint8_t** rows;
  int32_t width;
};

int PutPillowRow(void* context, int32_t y, const uint8_t* rgb) {
  const PillowRows& p = *static_cast<PillowRows*>(context);
  uint8_t* out = p.rows[y];
  for (int32_t x = 0; x < p.width; ++x, rgb += 3, out += 4) {
    out[0] = rgb[0];
    out[1] = rgb[1];
    out[2] = rgb[2];
    out[3] = 255;
  }
  return 0;
}

// _decode_into_pillow(data, width, height, rows, max_pixels, max_dimension):
// the picture (scaled when width x height is not its own size) straight into
// a Pillow RGB image of that size, whose row pointers lie at address `rows`.
PyObject* DecodeIntoPillow(PyObject*, PyObject* args) {
  PyObject* object;
  int width = 0, height = 0;
  unsigned long long rows = 0, maxPixels = 0;
  unsigned long maxDimension = 0;
  if (!PyArg_ParseTuple(args, "OiiKKk:_decode_into_pillow", &object, &width, &height, &rows, &maxPixels,
                        &maxDimension)) {
    return nullptr;
  }
  Bytes bytes;
  if (!bytes.Take(object)) return nullptr;
  if (!rows || width < 1 || height < 1) return PyErr_Format(PyExc_ValueError, "no image to decode into");
  const mca_options options = WithLimits(maxPixels, maxDimension);
  mca_info info = {};
  mca_problem problem = {};
  mca_status status = bytes.Probe(&info, &problem);
  if (status != MCA_OK) return Raise(problem);
  if (width > info.width || height > info.height) return PyErr_Format(PyExc_ValueError, "the image is larger than the picture");
  PillowRows target = {reinterpret_cast<uint8_t**>(uintptr_t(rows)), width};
  const mca_row_sink sink = {nullptr, PutPillowRow, &target};
  Py_BEGIN_ALLOW_THREADS
  status = width == info.width && height == info.height
               ? mca_decode_rows(bytes.data(), bytes.size(), &options, &sink, &problem)
               : mca_decode_scaled(bytes.data(), bytes.size(), &options, width, height, &sink, &problem);
  Py_END_ALLOW_THREADS
  if (status != MCA_OK) return Raise(problem);
  Py_RETURN_NONE;
}

PyMethodDef kMethods[] = {
    {"_decode_into_pillow", DecodeIntoPillow, METH_VARARGS,
     "(data, width, height, row pointers, max_pixels, max_dimension): into a Pillow RGB image."},
    {"_probe", Probe, METH_VARARGS, "The head: (status, words, width, height, frames, bits per pixel)."},
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
      PyModule_AddIntConstant(module, "STATUS_PAYLOAD_OUTSIDE", MCA_PAYLOAD_OUTSIDE) != 0) {
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
