// The MCA loader through the real gdk-pixbuf: found by the MIME type that the
// shared-mime-info database gives the file, as every GTK program finds it.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/rgb_pictures.h"

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
    if (broken.image.empty()) continue;  // an empty file gdk-pixbuf answers itself ("contains no data")

    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file((folder / "broken.mca").c_str(), &error);
    EXPECT_EQ(pixbuf, nullptr) << broken.name;
    ASSERT_NE(error, nullptr) << broken.name;
    EXPECT_NE(std::string(error->message).find(broken.reason), std::string::npos) << error->message;
    g_clear_error(&error);
  }
}

}  // namespace

namespace {

// Asked for a smaller size, as thumbnailers and file managers ask, the loader
// decodes straight at that size: the area average of the whole picture.
TEST(PixbufLoader, SmallerSizesAreAreaAveragesOfTheWholePicture) {
  TestContainer photo, palette;
  photo.frames = {PictureFrame(4000, 3000, 24, false, 7)};
  palette.pixelFormat = 8;
  for (uint32_t i = 0; i < 200; ++i) palette.palette.push_back(i * 0x00010305u);
  palette.frames = {PictureFrame(997, 401, 8, true, 8), PictureFrame(640, 200, 8, false, 9)};
  const struct {
    const char* name;
    Bytes image;
    int box;
    int32_t width, height;
  } cases[] = {{"4000 x 3000 to 256", BuildContainer(photo), 256, 256, 192},
               {"4000 x 3000 to 300", BuildContainer(photo), 300, 300, 225},
               {"997 x 601 palette to 100", BuildContainer(palette), 100, 100, 60}};
  for (const auto& c : cases) {
    ScratchFolder folder;
    WriteBytes(folder / "picture.mca", c.image);
    GError* error = nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file_at_scale((folder / "picture.mca").c_str(), c.box, c.box, TRUE, &error);
    ASSERT_NE(pixbuf, nullptr) << c.name << ": " << (error ? error->message : "");
    const RgbImage thumbnail = Pixels(pixbuf);
    g_object_unref(pixbuf);
    EXPECT_EQ(thumbnail.width, c.width) << c.name;
    EXPECT_EQ(thumbnail.height, c.height) << c.name;
    EXPECT_TRUE(WithinOne(thumbnail, AreaAverage(PluginPixels(c.image), c.width, c.height))) << c.name;
  }
}

struct Signals {
  std::vector<std::string> events;
  bool blankWhenPrepared = false;
  int32_t rowsUpdated = 0;
  bool bandsInOrder = true;
};

// size-prepared, then area-prepared with a blank pixbuf, then area-updated
// for each band of finished rows, top to bottom: the order viewers rely on.
TEST(PixbufLoader, SignalsComeInGdkPixbufsOrder) {
  TestContainer tall;
  tall.frames = {PictureFrame(300, 2500, 24, true, 10), PictureFrame(200, 2500, 24, false, 11)};
  const Bytes image = BuildContainer(tall);
  Signals s;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  g_signal_connect(loader, "size-prepared", G_CALLBACK(+[](GdkPixbufLoader*, int, int, Signals* s) {
                     s->events.push_back("size");
                   }), &s);
  g_signal_connect(loader, "area-prepared", G_CALLBACK(+[](GdkPixbufLoader* l, Signals* s) {
                     s->events.push_back("prepared");
                     GdkPixbuf* p = gdk_pixbuf_loader_get_pixbuf(l);
                     const guint8* bytes = gdk_pixbuf_read_pixels(p);
                     s->blankWhenPrepared = std::all_of(bytes, bytes + gdk_pixbuf_get_byte_length(p),
                                                        [](guint8 b) { return b == 0; });
                   }), &s);
  g_signal_connect(loader, "area-updated", G_CALLBACK(+[](GdkPixbufLoader*, int x, int y, int, int h, Signals* s) {
                     if (s->events.back() != "updated") s->events.push_back("updated");
                     s->bandsInOrder &= x == 0 && y == s->rowsUpdated;
                     s->rowsUpdated += h;
                   }), &s);
  GError* error = nullptr;
  ASSERT_TRUE(gdk_pixbuf_loader_write(loader, image.data(), image.size(), &error));
  ASSERT_TRUE(gdk_pixbuf_loader_close(loader, &error)) << (error ? error->message : "");
  EXPECT_EQ(s.events, (std::vector<std::string>{"size", "prepared", "updated"}));
  EXPECT_TRUE(s.blankWhenPrepared);
  EXPECT_TRUE(s.bandsInOrder);
  EXPECT_EQ(s.rowsUpdated, 5000);
  EXPECT_TRUE(Pixels(gdk_pixbuf_loader_get_pixbuf(loader)) == PluginPixels(image));
  g_object_unref(loader);
}

// A tiny file for a picture over the limits, or one its payload cannot fill,
// fails whole with the reason named; a thumbnail of it is still made.
TEST(PixbufLoader, PicturesOverTheLimitsNameTheLimit) {
  const struct {
    Bytes image;
    const char* limit;
  } cases[] = {{SparseContainer(16000, 20000, 1), "size limit"},
               {SparseContainer(40000, 10, 1), "dimension limit"},
               {SparseContainer(16384, 16384, 1), "at most 1 byte of a 768.00 MiB picture"}};
  for (const auto& c : cases) {
    ScratchFolder folder;
    WriteBytes(folder / "huge.mca", c.image);
    GError* error = nullptr;
    EXPECT_EQ(gdk_pixbuf_new_from_file((folder / "huge.mca").c_str(), &error), nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_NE(std::string(error->message).find(c.limit), std::string::npos) << error->message;
    g_clear_error(&error);
    GdkPixbuf* thumbnail = gdk_pixbuf_new_from_file_at_scale((folder / "huge.mca").c_str(), 128, 128, TRUE, &error);
    ASSERT_NE(thumbnail, nullptr) << (error ? error->message : "");
    EXPECT_EQ(std::max(gdk_pixbuf_get_width(thumbnail), gdk_pixbuf_get_height(thumbnail)), 128);
    g_object_unref(thumbnail);
  }
}

}  // namespace
