#include "app/qt/application_icon.h"

#include <QFile>

namespace lexora {

QIcon applicationIcon() {
  static const QIcon icon = [] {
    QIcon built;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
      const QString file = QStringLiteral(":/icons/%1x%1/lexora.png").arg(size);
      if (QFile::exists(file)) built.addFile(file, QSize(size, size));
    }
    return built.isNull() ? QIcon::fromTheme(QStringLiteral("lexora")) : built;
  }();
  return icon;
}

}  // namespace lexora
