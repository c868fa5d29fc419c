#pragma once
// Bitmaps and icons of the module loader's resources for Win32: the same 16 x 16 artwork on
// white that the Qt view shows, decoded from its XPM sources into device-independent bitmaps.
#include "ui/win32/win32.h"

namespace qm::ui::win32 {

// Bitmap `id` as a 32-bit top-down DIB section at its own size (the caller owns it); null when
// there is no such bitmap.
HBITMAP LoadResourceBitmap(int id);
// Bitmap `id` scaled to size x size pixels (the caller owns it); null when there is none.
HBITMAP LoadResourceBitmapScaled(int id, int size);
// Icon `id` (the caller destroys it); null when there is none.
HICON LoadResourceIcon(int id);

}  // namespace qm::ui::win32
