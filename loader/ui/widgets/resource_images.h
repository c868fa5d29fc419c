#pragma once
// Bitmaps and icons of the module loader's resources (our own 16 x 16 artwork on white,
// compiled into the library).
#include <QIcon>
#include <QPixmap>

namespace qm::ui {

// Bitmap `id` at its own size; a null pixmap when there is no such bitmap.
QPixmap LoadResourceBitmap(int id);
// Icon `id`; a null icon when there is none.
QIcon LoadResourceIcon(int id);

}  // namespace qm::ui
