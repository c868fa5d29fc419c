#include "ui/widgets/resource_images.h"

#include <QFile>
#include <QString>

// The resource file lives in a static library; the linker would drop its registration unless
// something refers to it.
static void initResources() {
    Q_INIT_RESOURCE(images);
}

namespace qm::ui {
namespace {

void ensureResources() {
    static const bool once = (initResources(), true);
    (void)once;
}

}  // namespace

QPixmap LoadResourceBitmap(int id) {
    ensureResources();
    const QString path = QStringLiteral(":/qmloader/bitmap/%1").arg(id);
    if (!QFile::exists(path)) {
        return {};
    }
    return QPixmap(path);
}

QIcon LoadResourceIcon(int id) {
    ensureResources();
    const QString path = QStringLiteral(":/qmloader/icon/%1").arg(id);
    if (!QFile::exists(path)) {
        return {};
    }
    return QIcon(path);
}

}  // namespace qm::ui
