// Reads a picture as a Qt program does, through QImageReader and Qt's plug-in
// loading, whole or (given SIDE) scaled to fit SIDE x SIDE as thumbnailers
// ask; prints the image's size, or "refused" with Qt's reason. For the
// memory test, which measures the process.
//   qtN_read FILE [SIDE]
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s FILE [SIDE]\n", argv[0]);
    return 2;
  }
  QGuiApplication application(argc, argv);
  QImageReader reader(QString::fromLocal8Bit(argv[1]));
  if (argc == 3) {
    const int side = QByteArray(argv[2]).toInt();
    const QSize size = reader.size();
    if (size.isValid()) reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
  }
  const QImage image = reader.read();
  if (image.isNull()) {
    std::printf("refused: %s\n", qPrintable(reader.errorString()));
  } else {
    std::printf("%d x %d\n", image.width(), image.height());
  }
  return 0;
}
