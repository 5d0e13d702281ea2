// gdk-pixbuf loader for MCA pictures: the bytes are gathered as they come
// (GdkPixbufLoader feeds them piecemeal) and decoded once they are all there,
// at the size the caller asks for when that is smaller, within the decoder's
// default limits otherwise.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf-io.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstring>

#include "mca/mca.h"

namespace {

struct LoadContext {
  GdkPixbufModuleSizeFunc sizeFunc;
  GdkPixbufModulePreparedFunc preparedFunc;
  GdkPixbufModuleUpdatedFunc updatedFunc;
  gpointer userData;
  GByteArray* bytes;
};

gpointer BeginLoad(GdkPixbufModuleSizeFunc sizeFunc, GdkPixbufModulePreparedFunc preparedFunc,
                   GdkPixbufModuleUpdatedFunc updatedFunc, gpointer userData, GError**) {
  LoadContext* context = g_new0(LoadContext, 1);
  context->sizeFunc = sizeFunc;
  context->preparedFunc = preparedFunc;
  context->updatedFunc = updatedFunc;
  context->userData = userData;
  context->bytes = g_byte_array_new();
  return context;
}

gboolean LoadIncrement(gpointer data, const guchar* buf, guint size, GError**) {
  g_byte_array_append(static_cast<LoadContext*>(data)->bytes, buf, size);
  return TRUE;
}

gboolean Fail(GError** error, int code, const char* text) {
  g_set_error(error, GDK_PIXBUF_ERROR, code, "MCA picture: %s", text);
  return FALSE;
}

gboolean Fail(GError** error, const mca_problem& problem) {
  char text[MCA_DESCRIBE_ROOM];
  mca_describe(&problem, text, sizeof text);
  const bool memory = problem.status == MCA_NO_MEMORY || problem.status == MCA_OVER_SIZE_LIMIT ||
                      problem.status == MCA_OVER_DIMENSION_LIMIT || problem.status == MCA_TOO_LARGE;
  return Fail(error, memory ? GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY : GDK_PIXBUF_ERROR_CORRUPT_IMAGE, text);
}

// Rows between two area-updated signals: about a megabyte of pixels, so a
// viewer sees a large picture fill in without a signal per row.
constexpr size_t kBandBytes = 1 << 20;

// The pixbuf as the decoder fills it, in gdk-pixbuf's order: the blank
// pixbuf is announced (area-prepared) before the first row, then each band
// of finished rows (area-updated).
struct Fill {
  LoadContext* context;
  GdkPixbuf* pixbuf;
  int32_t width;
  int32_t height;
  int32_t bandRows;
  int32_t bandStart;
};

int BeginFill(void* data, int32_t width, int32_t height) {
  Fill& f = *static_cast<Fill*>(data);
  f.pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  if (!f.pixbuf) return 1;
  std::memset(gdk_pixbuf_get_pixels(f.pixbuf), 0, gdk_pixbuf_get_byte_length(f.pixbuf));
  f.width = width;
  f.height = height;
  const size_t rowBytes = 3 * size_t(width);
  f.bandRows = int32_t(rowBytes >= kBandBytes ? 1 : kBandBytes / rowBytes);
  f.bandStart = 0;
  if (f.context->preparedFunc) f.context->preparedFunc(f.pixbuf, nullptr, f.context->userData);
  return 0;
}

int FillRow(void* data, int32_t y, const uint8_t* rgb) {
  Fill& f = *static_cast<Fill*>(data);
  guchar* row = gdk_pixbuf_get_pixels(f.pixbuf) + size_t(y) * size_t(gdk_pixbuf_get_rowstride(f.pixbuf));
  std::memcpy(row, rgb, 3 * size_t(f.width));
  if (y + 1 - f.bandStart >= f.bandRows || y + 1 == f.height) {
    if (f.context->updatedFunc) {
      f.context->updatedFunc(f.pixbuf, 0, f.bandStart, f.width, y + 1 - f.bandStart, f.context->userData);
    }
    f.bandStart = y + 1;
  }
  return 0;
}

gboolean Decode(LoadContext* c, GError** error) {
  const uint8_t* data = c->bytes->data;
  const size_t size = c->bytes->len;
  mca_info info;
  mca_problem problem;
  if (mca_probe(data, size, &info, &problem) != MCA_OK) return Fail(error, problem);
  int width = info.width, height = info.height;
  if (c->sizeFunc && width > 0 && height > 0) {
    c->sizeFunc(&width, &height, c->userData);
    if (width == 0 || height == 0) return TRUE;  // the caller only wanted the size
  }
  mca_options options;
  mca_default_options(&options);
  // A smaller size asked for (a thumbnail) is decoded straight at that size,
  // whatever the picture's own; a larger one is gdk-pixbuf's to scale. A
  // picture of no pixels is the decode's to refuse.
  const int32_t decodedWidth = std::clamp(width, 1, std::max(info.width, 1));
  const int32_t decodedHeight = std::clamp(height, 1, std::max(info.height, 1));
  // A whole picture is held in memory: a damaged one is refused first.
  if (info.width > 0 && info.height > 0 &&
      mca_check_picture(&info, decodedWidth, decodedHeight, &options, &problem) != MCA_OK) {
    return Fail(error, problem);
  }
  Fill fill = {c, nullptr, 0, 0, 1, 0};
  const mca_row_sink sink{BeginFill, FillRow, &fill};
  const mca_status status = mca_decode_scaled(data, size, &options, decodedWidth, decodedHeight, &sink, &problem);
  if (fill.pixbuf) g_object_unref(fill.pixbuf);
  if (status == MCA_STOPPED) {
    return Fail(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory for the pixels");
  }
  return status == MCA_OK ? TRUE : Fail(error, problem);
}

gboolean StopLoad(gpointer data, GError** error) {
  LoadContext* context = static_cast<LoadContext*>(data);
  const gboolean ok = Decode(context, error);
  g_byte_array_unref(context->bytes);
  g_free(context);
  return ok;
}

}  // namespace

extern "C" {

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module) {
  module->begin_load = BeginLoad;
  module->load_increment = LoadIncrement;
  module->stop_load = StopLoad;
}

G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info) {
  static GdkPixbufModulePattern signature[] = {
      {const_cast<gchar*>("MCA"), nullptr, 100},
      {nullptr, nullptr, 0},
  };
  static const gchar* mimeTypes[] = {"image/x-mca", nullptr};
  static const gchar* extensions[] = {"mca", nullptr};
  info->name = const_cast<gchar*>("mca");
  info->signature = signature;
  info->description = const_cast<gchar*>("MCA picture");
  info->mime_types = const_cast<gchar**>(mimeTypes);
  info->extensions = const_cast<gchar**>(extensions);
  info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
  info->license = const_cast<gchar*>("MIT");
}

}
