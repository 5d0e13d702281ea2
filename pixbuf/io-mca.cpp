// gdk-pixbuf loader for MCA pictures: the bytes are gathered as they come
// (GdkPixbufLoader feeds them piecemeal) and decoded once they are all there.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf-io.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstring>

#include "mca/mca_picture.h"

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

gboolean Decode(LoadContext* c, GError** error) {
  const McaSpan span{c->bytes->data, c->bytes->len};
  McaPictureInfo info;
  McaProblem problem;
  char text[160];
  if (McaProbe(span, &info, &problem) != kMcaOk) {
    McaDescribeProblem(problem, text, sizeof text);
    return Fail(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, text);
  }
  if (info.width <= 0 || info.height <= 0) {
    return Fail(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, "the picture has no pixels");
  }
  int width = info.width, height = info.height;
  if (c->sizeFunc) {
    c->sizeFunc(&width, &height, c->userData);
    if (width == 0 || height == 0) return TRUE;  // the caller only wanted the size
  }
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, info.width, info.height);
  if (!pixbuf) return Fail(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory for the pixels");
  // The decoder sets every pixel; the padding at the rows' ends is cleared here.
  std::memset(gdk_pixbuf_get_pixels(pixbuf), 0, gdk_pixbuf_get_byte_length(pixbuf));
  const McaStatus status = McaDecodeRgb(span, info, gdk_pixbuf_get_pixels(pixbuf),
                                        size_t(gdk_pixbuf_get_rowstride(pixbuf)), &problem, nullptr, 0);
  if (status != kMcaOk) {
    g_object_unref(pixbuf);
    McaDescribeProblem(problem, text, sizeof text);
    return Fail(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, text);
  }
  if (c->preparedFunc) c->preparedFunc(pixbuf, nullptr, c->userData);
  if (c->updatedFunc) c->updatedFunc(pixbuf, 0, 0, info.width, info.height, c->userData);
  g_object_unref(pixbuf);
  return TRUE;
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
