// The Qt image plug-in as Qt programs reach it: loaded by Qt's own plug-in
// loading (QT_PLUGIN_PATH at the build's plugins folder), read through
// QImageReader from files, buffers and sequential devices, against the
// plug-in's pixels and the area average.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QCoreApplication>
#include <QImage>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cstring>

#include "tests/support/rgb_pictures.h"

namespace {

QByteArray Qt(const Bytes& b) { return QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size())); }

RgbImage Rgb(const QImage& image) {
  RgbImage out;
  if (image.isNull()) return out;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  out.width = rgb.width();
  out.height = rgb.height();
  for (int y = 0; y < rgb.height(); ++y) out.rgb.insert(out.rgb.end(), rgb.constScanLine(y), rgb.constScanLine(y) + 3 * rgb.width());
  return out;
}

// A device that can only be read forward, as a pipe or a network reply,
// handing out at most 1000 bytes a read. Given a pause, its writer stops
// there: nothing more comes until the reader waits (waitForReadyRead).
class SequentialDevice : public QIODevice {
 public:
  explicit SequentialDevice(const QByteArray& data, qint64 pause = -1)
      : data_(data), available_(pause < 0 ? data.size() : pause) {
    open(QIODevice::ReadOnly);
  }
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override { return available_ - at_ + QIODevice::bytesAvailable(); }
  bool waitForReadyRead(int) override {
    if (available_ >= data_.size()) return false;
    available_ = data_.size();
    return true;
  }

 protected:
  qint64 readData(char* out, qint64 most) override {
    const qint64 n = std::min<qint64>({most, 1000, available_ - at_});
    std::memcpy(out, data_.constData() + at_, size_t(n));
    at_ += n;
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  const QByteArray data_;
  qint64 at_ = 0;
  qint64 available_;
};

TEST(QtPlugin, FoundByQtWithItsKeyAndMimeType) {
  EXPECT_TRUE(QImageReader::supportedImageFormats().contains("mca"));
  EXPECT_TRUE(QImageReader::supportedMimeTypes().contains("image/x-mca"));
  EXPECT_TRUE(QImageWriter::supportedImageFormats().contains("mca"));
}

// QImageWriter by the file's suffix, and into a buffer by the format's name:
// images of Qt's formats come back through the reader and the plug-in with
// the pixels Qt gives them as RGB.
TEST(QtPlugin, WritesWhatEveryReaderGivesBack) {
  const RgbImage sample = PluginPixels(ProgramTestPictures()[0].image);
  const QImage photo = QImage(sample.rgb.data(), sample.width, sample.height, 3 * sample.width,
                              QImage::Format_RGB888).copy();
  const struct {
    const char* name;
    QImage image;
  } cases[] = {
      {"RGB888", photo},
      {"RGB32, odd width", photo.copy(0, 0, 37, 5).convertToFormat(QImage::Format_RGB32)},
      {"one pixel", photo.copy(3, 3, 1, 1)},
      {"ARGB32, alpha dropped", photo.convertToFormat(QImage::Format_ARGB32)},
      {"grey", photo.convertToFormat(QImage::Format_Grayscale8)},
      {"indexed", photo.convertToFormat(QImage::Format_Indexed8)},
  };
  const QString path = QDir::temp().filePath("zuvrek-qt-writer-test.mca");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RgbImage want = Rgb(c.image);
    QImageWriter file(path);
    ASSERT_TRUE(file.canWrite()) << file.errorString().toStdString();
    ASSERT_TRUE(file.write(c.image)) << file.errorString().toStdString();
    EXPECT_TRUE(Rgb(QImage(path)) == want);
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_TRUE(PluginPixels(Bytes(bytes.begin(), bytes.end())) == want);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buffer, "mca").write(c.image));
    EXPECT_EQ(buffer.data(), bytes);
  }
  QFile::remove(path);
}

// Each picture by file name (also renamed: found by its signature), from a
// QBuffer and from a sequential device: exactly the plug-in's pixels.
TEST(QtPlugin, ReadsEveryPictureFromEveryKindOfDevice) {
  for (const NamedPicture& picture : ProgramTestPictures()) {
    SCOPED_TRACE(picture.name);
    const RgbImage expected = PluginPixels(picture.image);
    ScratchFolder folder;
    WriteBytes(folder / "in.mca", picture.image);
    WriteBytes(folder / "renamed.png", picture.image);
    for (const char* name : {"in.mca", "renamed.png"}) {
      QImageReader reader(QString::fromStdString(folder / name));
      EXPECT_EQ(reader.size(), QSize(expected.width, expected.height)) << name;
      const QImage image = reader.read();
      EXPECT_EQ(reader.format(), "mca") << name;
      EXPECT_TRUE(Rgb(image) == expected) << name << ": " << reader.errorString().toStdString();
      for (int y = 0; y < image.height(); ++y) {  // rows' padding set, not left as it was
        const uchar* row = image.constScanLine(y);
        EXPECT_TRUE(std::all_of(row + 3 * image.width(), row + image.bytesPerLine(), [](uchar b) { return b == 0; }))
            << name << ", row " << y;
      }
    }
    QBuffer buffer;
    buffer.setData(Qt(picture.image) + "after");  // a device left right after the picture
    buffer.open(QIODevice::ReadOnly);
    QImageReader fromBuffer(&buffer);
    EXPECT_TRUE(Rgb(fromBuffer.read()) == expected);
    EXPECT_EQ(buffer.pos(), qint64(picture.image.size()));
    SequentialDevice pipe(Qt(picture.image));
    QImageReader fromPipe(&pipe, "mca");
    EXPECT_TRUE(Rgb(fromPipe.read()) == expected) << fromPipe.errorString().toStdString();
    SequentialDevice pausing(Qt(picture.image), picture.image.size() / 3);
    QImageReader fromPausing(&pausing, "mca");
    EXPECT_TRUE(Rgb(fromPausing.read()) == expected) << "a pipe that pauses";
  }
}

// A PNG misnamed .mca is not ours: Qt finds its reader by the content.
TEST(QtPlugin, AMisnamedPictureGoesToItsOwnReader) {
  ScratchFolder folder;
  QImage png(7, 5, QImage::Format_RGB888);
  png.fill(QColor(10, 200, 30));
  ASSERT_TRUE(png.save(QString::fromStdString(folder / "picture.mca"), "PNG"));
  QImageReader reader(QString::fromStdString(folder / "picture.mca"));
  const QImage read = reader.read();
  EXPECT_EQ(read.size(), QSize(7, 5)) << reader.errorString().toStdString();
  EXPECT_EQ(read.pixelColor(3, 2), QColor(10, 200, 30));
}

// A folder of pictures and the PNGs they must read as, as KDE's format tests
// keep them.
TEST(QtPlugin, ReadsTheFolderOfPicturesAsTheirPngs) {
  const QDir folder(QStringLiteral(ZUVREK_SOURCE_DIR "/qt/tests/read"));
  const QStringList pictures = folder.entryList({QStringLiteral("*.mca")});
  ASSERT_GE(pictures.size(), 4);
  for (const QString& name : pictures) {
    const QImage expected(folder.filePath(QString(name).replace(QStringLiteral(".mca"), QStringLiteral(".png"))));
    QImageReader reader(folder.filePath(name));
    EXPECT_TRUE(Rgb(reader.read()) == Rgb(expected)) << name.toStdString();
  }
}

// Qt's allocation limit, in megabytes: Qt 6's own, which Qt 5 has only
// through the environment variable the plug-in reads as Qt 6 does.
void SetAllocationLimit(int megabytes) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
  QImageReader::setAllocationLimit(megabytes);
#else
  qputenv("QT_IMAGEIO_MAXALLOC", QByteArray::number(megabytes));
#endif
}

// Exactly the size asked for, in every direction: smaller sides by the area
// average, larger ones as Qt scales the formats that leave it to Qt.
TEST(QtPlugin, ScaledReadsGiveExactlyTheSizeAsked) {
  const NamedPicture picture = ProgramTestPictures()[0];
  const RgbImage full = PluginPixels(picture.image);
  const int w = full.width, h = full.height;
  QImage whole;
  {
    QBuffer buffer;
    buffer.setData(Qt(picture.image));
    buffer.open(QIODevice::ReadOnly);
    whole = QImageReader(&buffer).read();
  }
  struct Case {
    QSize size;
    bool averaged;  // whole by the area average, else scaled up by Qt from the whole
  } cases[] = {{{w / 3, h / 2 - 1}, true},  {{w - 1, h}, true},      {{w, h - 1}, true},     {{1, 1}, true},
               {{w + 1, h}, false},         {{w, h + 1}, false},     {{2 * w + 3, 3 * h}, false},
               {{w + 5, h / 2}, false},     {{w / 2, h + 5}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.size.width() << " x " << c.size.height());
    QBuffer buffer;
    buffer.setData(Qt(picture.image));
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setScaledSize(c.size);
    const QImage image = reader.read();
    ASSERT_EQ(image.size(), c.size);
    if (c.averaged) {
      EXPECT_TRUE(WithinOne(Rgb(image), AreaAverage(full, c.size.width(), c.size.height())));
    } else if (c.size.width() >= w && c.size.height() >= h) {
      EXPECT_TRUE(Rgb(image) == Rgb(whole.scaled(c.size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    }
  }
}

// The allocation limit holds, in both Qts, for the image made (at 32 bits a
// pixel): an image of exactly the limit is read, one row more is refused
// before anything is decoded; a scaled read is held to its own size,
// larger or smaller than the picture.
TEST(QtPlugin, TheAllocationLimitHoldsForTheImageMade) {
  ScratchFolder folder;
  WriteBytes(folder / "big.mca", SparseContainer(2000, 1000, 1));  // 7.63 MB at 4 bytes a pixel
  const QString name = QString::fromStdString(folder / "big.mca");
  struct Case {
    int megabytes;
    QSize scaled;  // empty: the whole picture
    bool read;
  } cases[] = {{8, {}, true},          {7, {}, false},          {0, {}, true},
               {1, {200, 100}, true},   {1, {512, 512}, true},   {1, {512, 513}, false},
               {8, {2048, 1024}, true}, {8, {2048, 1025}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.megabytes << " MB, " << c.scaled.width() << " x " << c.scaled.height());
    SetAllocationLimit(c.megabytes);
    QImageReader reader(name);
    if (!c.scaled.isEmpty()) reader.setScaledSize(c.scaled);
    const QImage image = reader.read();
    EXPECT_EQ(!image.isNull(), c.read);
    if (c.read) {
      EXPECT_EQ(image.size(), c.scaled.isEmpty() ? QSize(2000, 1000) : c.scaled);
    }
  }
  // The default: Qt 6's own (Debian 12's Qt 6.4: 128 MB), and in Qt 5 ours,
  // 256 MB, with QT_IMAGEIO_MAXALLOC unset.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
  SetAllocationLimit(128);
#else
  qunsetenv("QT_IMAGEIO_MAXALLOC");
#endif
  // Our pixel limits hold for the image made too: 17000 x 17000 is over them
  // whole and read small; a scaled size far over the picture is refused.
  WriteBytes(folder / "huge.mca", SparseContainer(17000, 17000, 1));
  QImageReader small(QString::fromStdString(folder / "huge.mca"));
  small.setScaledSize(QSize(170, 170));
  EXPECT_EQ(small.read().size(), QSize(170, 170));
  QImageReader enlarged(QString::fromStdString(folder / "big.mca"));
  enlarged.setScaledSize(QSize(40000, 100));
  EXPECT_TRUE(enlarged.read().isNull());
  // The 85-byte picture at exactly our pixel limit: refused by the default.
  WriteBytes(folder / "bomb.mca", SparseContainer(16384, 16384, 1));
  EXPECT_TRUE(QImageReader(QString::fromStdString(folder / "bomb.mca")).read().isNull());
  QImageReader thumbnail(QString::fromStdString(folder / "bomb.mca"));
  thumbnail.setScaledSize(QSize(256, 256));
  EXPECT_EQ(thumbnail.read().size(), QSize(256, 256));
  // A limit of 0 is none: a real picture over the default's 256 MB at 32
  // bits a pixel (16000 x 4200, its frame listed 42 times) is read whole.
  SetAllocationLimit(0);
  WriteBytes(folder / "large.mca", RepeatedFrameContainer(LargePictureFrame(), 42));
  EXPECT_EQ(QImageReader(QString::fromStdString(folder / "large.mca")).read().size(), QSize(16000, 4200));
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
  qunsetenv("QT_IMAGEIO_MAXALLOC");
#else
  SetAllocationLimit(128);
#endif
}

QString g_warnings;

void KeepWarning(QtMsgType, const QMessageLogContext&, const QString& text) { g_warnings += text + "\n"; }

// Broken files and pictures over our limits fail to read, with no image and
// the problem's words in Qt's warning log.
TEST(QtPlugin, BrokenAndOversizedFilesFailToRead) {
  std::vector<BrokenPicture> refused = BrokenTestPictures();
  refused.push_back({"85-byte bomb", SparseContainer(16000, 20000, 1), "over the size limit of 268435456 pixels"});
  // Damage is told before the allocation limit, which 16384 x 16384 passes.
  refused.push_back({"a payload of 1 byte for 16384 x 16384", SparseContainer(16384, 16384, 1),
                     "it is damaged or cut short"});
  const QtMessageHandler before = qInstallMessageHandler(KeepWarning);
  for (const BrokenPicture& broken : refused) {
    g_warnings.clear();
    QBuffer buffer;
    buffer.setData(Qt(broken.image));
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "mca");
    EXPECT_TRUE(reader.read().isNull()) << broken.name;
    EXPECT_TRUE(g_warnings.contains(QString::fromStdString(broken.reason))) << broken.name << ": "
                                                                             << g_warnings.toStdString();
  }
  qInstallMessageHandler(before);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
