// The MCA loader through the real gdk-pixbuf: found by the MIME type that the
// shared-mime-info database gives the file, as every GTK program finds it.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/programs/rgb_pictures.h"

namespace {

// The loaders cache for our module and the MIME database with the MCA type,
// both built for the tests; gdk-pixbuf reads them at its first use.
const bool kTestData = [] {
  setenv("GDK_PIXBUF_MODULE_FILE", PIXBUF_TEST_DATA "/loaders.cache", 1);
  setenv("XDG_DATA_HOME", PIXBUF_TEST_DATA, 1);
  return true;
}();

RgbImage Pixels(GdkPixbuf* pixbuf) {
  RgbImage out;
  if (!pixbuf) return out;
  EXPECT_EQ(gdk_pixbuf_get_n_channels(pixbuf), 3);
  EXPECT_FALSE(gdk_pixbuf_get_has_alpha(pixbuf));
  out.width = gdk_pixbuf_get_width(pixbuf);
  out.height = gdk_pixbuf_get_height(pixbuf);
  const guint8* p = gdk_pixbuf_read_pixels(pixbuf);
  for (int32_t y = 0; y < out.height; ++y) {
    const guint8* row = p + size_t(y) * size_t(gdk_pixbuf_get_rowstride(pixbuf));
    out.rgb.insert(out.rgb.end(), row, row + 3 * size_t(out.width));
  }
  return out;
}

TEST(PixbufLoader, FilesLoadWithThePluginsPixels) {
  for (const NamedPicture& picture : ProgramTestPictures()) {
    ScratchFolder folder;
    // By name, and by content alone (the MIME magic) under another name.
    for (const char* name : {"picture.mca", "picture.dat"}) {
      WriteBytes(folder / name, picture.image);
      GError* error = nullptr;
      GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file((folder / name).c_str(), &error);
      ASSERT_NE(pixbuf, nullptr) << picture.name << ": " << (error ? error->message : "");
      EXPECT_TRUE(Pixels(pixbuf) == PluginPixels(picture.image)) << picture.name;
      g_object_unref(pixbuf);
    }
  }
}

TEST(PixbufLoader, IncrementalLoadingInAnyPieces) {
  const NamedPicture picture = ProgramTestPictures()[0];
  for (size_t piece : {size_t(1), size_t(13), size_t(4096)}) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    GError* error = nullptr;
    bool written = true;
    for (size_t at = 0; written && at < picture.image.size(); at += piece) {
      written = gdk_pixbuf_loader_write(loader, &picture.image[at], std::min(piece, picture.image.size() - at), &error);
    }
    ASSERT_TRUE(written && gdk_pixbuf_loader_close(loader, &error)) << (error ? error->message : "");
    GdkPixbufFormat* format = gdk_pixbuf_loader_get_format(loader);
    ASSERT_NE(format, nullptr);
    gchar* name = gdk_pixbuf_format_get_name(format);
    EXPECT_STREQ(name, "mca");
    g_free(name);
    EXPECT_TRUE(Pixels(gdk_pixbuf_loader_get_pixbuf(loader)) == PluginPixels(picture.image)) << piece;
    g_object_unref(loader);
  }
}

TEST(PixbufLoader, BrokenFilesGiveTheReason) {
  for (const BrokenPicture& broken : BrokenTestPictures()) {
    if (broken.name == "not MCA" || broken.name == "cut head") continue;  // not taken for MCA files at all
    ScratchFolder folder;
    WriteBytes(folder / "broken.mca", broken.image);
    GError* error = nullptr;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("mca", &error);
    ASSERT_NE(loader, nullptr);
    gdk_pixbuf_loader_write(loader, broken.image.data(), broken.image.size(), &error);
    EXPECT_FALSE(gdk_pixbuf_loader_close(loader, &error)) << broken.name;
    ASSERT_NE(error, nullptr) << broken.name;
    EXPECT_NE(std::string(error->message).find(broken.reason), std::string::npos) << error->message;
    g_clear_error(&error);
    g_object_unref(loader);

    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file((folder / "broken.mca").c_str(), &error);
    EXPECT_EQ(pixbuf, nullptr) << broken.name;
    ASSERT_NE(error, nullptr) << broken.name;
    EXPECT_NE(std::string(error->message).find(broken.reason), std::string::npos) << error->message;
    g_clear_error(&error);
  }
}

}  // namespace
