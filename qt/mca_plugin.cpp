#include "qt/mca_plugin.h"

#include "qt/mca_handler.h"

QImageIOPlugin::Capabilities McaPlugin::capabilities(QIODevice* device, const QByteArray& format) const {
  if (format == "mca") return CanRead | CanWrite;
  if (!format.isEmpty() || !device || !device->isOpen()) return {};
  return device->isReadable() && McaHandler::canRead(device) ? CanRead : Capabilities();
}

QImageIOHandler* McaPlugin::create(QIODevice* device, const QByteArray& format) const {
  McaHandler* handler = new McaHandler;
  handler->setDevice(device);
  handler->setFormat(format.isEmpty() ? QByteArray("mca") : format);
  return handler;
}
