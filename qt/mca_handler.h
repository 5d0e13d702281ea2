// Reads MCA pictures for Qt's QImageReader, over mca.h: a 24-bit RGB QImage,
// whole or, when a smaller ScaledSize is asked, decoded straight to it by the
// area average, so that thumbnails cost memory in proportion to the
// thumbnail. Writes them for QImageWriter: the image's RGB pixels (as Qt
// writes JPEG and BMP, an alpha channel is dropped), 8-bit frames for 256
// colours or fewer.
#pragma once

#include <QByteArray>
#include <QImageIOHandler>
#include <QSize>

#include "mca/mca.h"

class McaHandler : public QImageIOHandler {
 public:
  bool canRead() const override;
  bool read(QImage* image) override;
  bool write(const QImage& image) override;
  bool supportsOption(ImageOption option) const override;
  QVariant option(ImageOption option) const override;
  void setOption(ImageOption option, const QVariant& value) override;

  // Whether the device's next bytes are an MCA picture's signature.
  static bool canRead(QIODevice* device);

 private:
  // Takes the picture's bytes from the device once: the rest of a
  // sequential device, or from the current position of a random-access one,
  // which is then left right after the picture. A file is mapped rather than
  // read, as long as the handler lives.
  bool Load();
  bool MapFile(QIODevice* device);
  QSize PictureSize() const { return QSize(info_.width, info_.height); }

  QByteArray data_;           // the bytes read, unless mapped
  const uint8_t* bytes_ = nullptr;
  size_t byteCount_ = 0;
  bool loaded_ = false;
  bool broken_ = false;
  mca_info info_ = {};        // the probe's, once loaded
  QSize scaledSize_;
};
