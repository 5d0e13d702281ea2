#include "qt/mca_handler.h"

#include <cstring>
#include <limits>

#include <QFileDevice>
#include <QIODevice>
#include <QImage>
#include <QImageReader>
#include <QVariant>
#include <QtGlobal>

#include <cstring>

#include "mca/mca.h"

namespace {

// Waits this long for more of a sequential device (a pipe, a socket) before
// taking what came as the whole file.
constexpr int kWaitMilliseconds = 30000;
constexpr qint64 kPieceBytes = 1 << 20;
// What one QByteArray holds in Qt 5; an endless stream ends there.
constexpr int kMaxFileBytes = 0x7FFFFFFF - 64;

void Warn(const char* what, const mca_problem& problem) {
  char words[MCA_DESCRIBE_ROOM];
  mca_describe(&problem, words, sizeof words);
  qWarning("mca: %s: %s", what, words);
}

// QImageReader's allocation limit in megabytes (0: none). Qt 6 keeps it;
// Qt 5 has none, so the plug-in applies Qt 6's rule itself: the default of
// the newest Qt 6, or QT_IMAGEIO_MAXALLOC as Qt 6 reads it.
int AllocationLimit() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
  return QImageReader::allocationLimit();
#else
  constexpr int kDefaultMegabytes = 256;
  const QByteArray set = qgetenv("QT_IMAGEIO_MAXALLOC");
  bool ok = false;
  const int megabytes = set.toInt(&ok);
  return ok && megabytes >= 0 ? megabytes : kDefaultMegabytes;
#endif
}

// Qt 6's rule: an image is counted at 32 bits a pixel (as programs convert
// it for display), and refused when that is more bytes than the limit.
bool WithinAllocationLimit(const QSize& size) {
  const int limit = AllocationLimit();
  const qint64 bytes = 4 * qint64(size.width()) * qint64(size.height());
  return limit == 0 || bytes <= (qint64(limit) << 20);
}

// A QImage of the size; Qt 6 has it made by QImageIOHandler, as its own
// handlers do.
bool Allocate(const QSize& size, QImage* image) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
  return QImageIOHandler::allocateImage(size, QImage::Format_RGB888, image);
#else
  *image = QImage(size, QImage::Format_RGB888);
  return !image->isNull();
#endif
}

}  // namespace

bool McaHandler::canRead(QIODevice* device) {
  if (!device) return false;
  const QByteArray head = device->peek(3);
  return mca_has_signature(reinterpret_cast<const uint8_t*>(head.constData()), size_t(head.size())) != 0;
}

bool McaHandler::canRead() const {
  if (loaded_ ? broken_ : !canRead(device())) return false;
  setFormat("mca");
  return true;
}

bool McaHandler::Load() {
  if (loaded_) return !broken_;
  loaded_ = true;
  broken_ = true;
  QIODevice* d = device();
  if (!d) return false;
  const bool sequential = d->isSequential();
  const qint64 start = sequential ? 0 : d->pos();
  if (sequential) {
    for (;;) {
      const QByteArray more = d->read(kPieceBytes);
      if (data_.size() > kMaxFileBytes - more.size()) {
        qWarning("mca: the stream is longer than any MCA picture this reader takes");
        return false;
      }
      data_ += more;
      if (more.isEmpty() && !d->waitForReadyRead(kWaitMilliseconds)) break;
    }
  } else if (!MapFile(d)) {
    data_ = d->readAll();
  }
  if (!bytes_) {  // read, not mapped
    bytes_ = reinterpret_cast<const uint8_t*>(data_.constData());
    byteCount_ = size_t(data_.size());
  }
  if (!sequential) {
    const size_t used = mca_picture_bytes(bytes_, byteCount_);
    d->seek(start + qint64(used ? used : byteCount_));
  }
  mca_info info;
  mca_problem problem;
  if (mca_probe(bytes_, byteCount_, &info, &problem) != MCA_OK) {
    Warn("cannot read the picture", problem);
    return false;
  }
  info_ = info;
  broken_ = false;
  return true;
}

// A file is mapped rather than copied: the pages are read as the decode
// reaches them, and a stored picture's file is not copied whole first.
bool McaHandler::MapFile(QIODevice* device) {
  QFileDevice* file = qobject_cast<QFileDevice*>(device);
  if (!file) return false;
  const qint64 start = file->pos();
  const qint64 length = file->size() - start;
  if (length <= 0) return false;
  uchar* mapped = file->map(start, length);
  if (!mapped) return false;
  bytes_ = mapped;
  byteCount_ = size_t(length);
  return true;
}

bool McaHandler::read(QImage* image) {
  if (!Load()) return false;
  // Exactly the size asked: the sides that shrink are area-averaged down as
  // they are decoded, and what is then still short of the size is scaled up
  // smoothly, as Qt scales the formats that leave scaling to it.
  const QSize asked = scaledSize_.isValid() && !scaledSize_.isEmpty() ? scaledSize_ : PictureSize();
  const QSize decoded = asked.boundedTo(PictureSize());
  // A picture with no pixels is refused here too (a size of 0 is never asked).
  mca_problem problem;
  if (mca_check_picture(&info_, asked.width(), asked.height(), nullptr, &problem) != MCA_OK) {
    Warn("cannot read the picture", problem);
    return false;
  }
  if (!WithinAllocationLimit(asked)) {
    qWarning("mca: an image of %d x %d is over the allocation limit of %d megabytes", asked.width(), asked.height(),
             AllocationLimit());
    return false;
  }
  QImage out;
  if (!Allocate(decoded, &out)) {
    qWarning("mca: no image of %d x %d can be had", decoded.width(), decoded.height());
    return false;
  }
  const mca_status status = mca_decode_sized(bytes_, byteCount_, nullptr, decoded.width(), decoded.height(),
                                             out.bits(), size_t(out.bytesPerLine()), size_t(out.sizeInBytes()), &problem);
  if (status != MCA_OK) {
    Warn("cannot decode the picture", problem);
    return false;
  }
  // Rows are padded to 4 bytes; the decode writes pixels only.
  const size_t rowBytes = 3 * size_t(decoded.width());
  for (int y = 0; y < out.height() && size_t(out.bytesPerLine()) > rowBytes; ++y) {
    std::memset(out.scanLine(y) + rowBytes, 0, size_t(out.bytesPerLine()) - rowBytes);
  }
  *image = decoded == asked ? out : out.scaled(asked, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return !image->isNull();
}

namespace {

int ImageRow(void* context, int32_t y, uint8_t* into) {
  const QImage& image = *static_cast<const QImage*>(context);
  std::memcpy(into, image.constScanLine(y), 3 * size_t(image.width()));
  return 0;
}

int AppendAt(void* context, uint64_t offset, const uint8_t* bytes, size_t size) {
  QByteArray& file = *static_cast<QByteArray*>(context);
  const uint64_t end = offset + size;
  if (end > uint64_t(std::numeric_limits<int>::max())) return 0;
  if (end > uint64_t(file.size())) file.resize(int(end));
  std::memcpy(file.data() + offset, bytes, size);
  return 1;
}

}  // namespace

bool McaHandler::write(const QImage& image) {
  QIODevice* out = device();
  if (image.isNull() || !out || !out->isWritable()) return false;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  // The file is made in memory, then handed over at once: the frame table
  // comes last, and a device need not seek.
  QByteArray file;
  const mca_row_source source{ImageRow, const_cast<QImage*>(&rgb)};
  const mca_writer writer{AppendAt, &file};
  mca_problem problem;
  if (mca_encode(rgb.width(), rgb.height(), nullptr, &source, &writer, &problem) != MCA_OK) {
    Warn("cannot write the picture", problem);
    return false;
  }
  return out->write(file) == file.size();
}

bool McaHandler::supportsOption(ImageOption option) const { return option == Size || option == ScaledSize; }

QVariant McaHandler::option(ImageOption option) const {
  if (option == Size) {
    // The head is read once, and kept for read().
    McaHandler* self = const_cast<McaHandler*>(this);
    return self->Load() ? QVariant(self->PictureSize()) : QVariant();
  }
  if (option == ScaledSize) return scaledSize_;
  return QVariant();
}

void McaHandler::setOption(ImageOption option, const QVariant& value) {
  if (option == ScaledSize) scaledSize_ = value.toSize();
}
