// qt_bench PICTURE...: QImageReader reading each picture through the Qt
// plug-in (QT_PLUGIN_PATH at the build's qt5 or qt6 folder) beside mca_decode
// into a fresh buffer of the same size, round by round, medians of 15; and a
// 256-pixel thumbnail (ScaledSize) beside them.
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "mca/mca.h"

namespace {

double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

template <typename Work>
double Milliseconds(Work work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  std::printf("| picture | Qt %d QImageReader ms | mca_decode ms | ratio | thumbnail 256 ms |\n|---|---|---|---|---|\n",
              QT_VERSION_MAJOR);
  for (int i = 1; i < argc; ++i) {
    QFile file(QString::fromLocal8Bit(argv[i]));
    if (!file.open(QIODevice::ReadOnly)) return 1;
    const QByteArray bytes = file.readAll();
    const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    mca_info info;
    if (mca_probe(data, size_t(bytes.size()), &info, nullptr) != MCA_OK) return 1;
    std::vector<double> qt, c, thumb, ratio;
    for (int round = 0; round < 15; ++round) {
      qt.push_back(Milliseconds([&] {
        if (QImageReader(QString::fromLocal8Bit(argv[i])).read().isNull()) std::exit(1);
      }));
      c.push_back(Milliseconds([&] {
        const size_t stride = (3 * size_t(info.width) + 3) / 4 * 4;  // a QImage's rows
        uint8_t* buffer = static_cast<uint8_t*>(std::malloc(stride * size_t(info.height)));
        mca_decode(data, size_t(bytes.size()), nullptr, buffer, stride, stride * size_t(info.height), nullptr);
        std::free(buffer);
      }));
      thumb.push_back(Milliseconds([&] {
        QImageReader reader(QString::fromLocal8Bit(argv[i]));
        reader.setScaledSize(QSize(256, 256 * info.height / info.width));
        if (reader.read().isNull()) std::exit(1);
      }));
      ratio.push_back(qt.back() / c.back());
    }
    std::printf("| %d-bit %dx%d | %.1f | %.1f | %.2f | %.1f |\n", info.pixel_format, info.width, info.height,
                Median(qt), Median(c), Median(ratio), Median(thumb));
  }
  return 0;
}
