// The image-format plug-in Qt loads from plugins/imageformats: MCA pictures
// by the key "mca", and by their signature whatever the file's name.
#pragma once

#include <QImageIOPlugin>

class McaPlugin : public QImageIOPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QImageIOHandlerFactoryInterface" FILE "mca.json")

 public:
  Capabilities capabilities(QIODevice* device, const QByteArray& format) const override;
  QImageIOHandler* create(QIODevice* device, const QByteArray& format = QByteArray()) const override;
};
