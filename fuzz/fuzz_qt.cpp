// The Qt plug-in's handler on arbitrary bytes through a QBuffer, as the
// fuzzers of KDE's image formats feed theirs: reading never crashes, and an
// image read has the size the handler announced, or the scaled size asked.
#include <QBuffer>
#include <QIODevice>
#include <QImage>
#include <QVariant>

#include <algorithm>
#include <cstdint>

#include "fuzz/fuzz_check.h"
#include "qt/mca_handler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input is the file, whole (so the pictures' corpus serves); its length
  // chooses a whole or a scaled read and the divisor.
  int divisor = 1 + int(size % 7);
  bool scale = size / 7 % 2 != 0;
  QBuffer buffer;
  buffer.setData(QByteArray(reinterpret_cast<const char*>(data), int(size)));
  buffer.open(QIODevice::ReadOnly);
  McaHandler handler;
  handler.setDevice(&buffer);
  const QSize announced = handler.option(QImageIOHandler::Size).toSize();
  // A picture of megapixels is read scaled down: a whole read of it costs a
  // run seconds and tells nothing the smaller ones do not.
  if (int64_t(announced.width()) * announced.height() > (1 << 22)) {
    scale = true;
    divisor = std::max(announced.width(), announced.height()) / 256 + 1;
  }
  const QSize scaled(std::max(1, announced.width() / divisor), std::max(1, announced.height() / divisor));
  if (scale) handler.setOption(QImageIOHandler::ScaledSize, scaled);
  QImage image;
  if (handler.read(&image)) {
    FUZZ_CHECK(image.size() == (scale ? scaled : announced));
    FUZZ_CHECK(image.format() == QImage::Format_RGB888);
  }
  return 0;
}
