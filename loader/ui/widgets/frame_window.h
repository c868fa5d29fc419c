#pragma once
// The host hands its main window to applications as an opaque AcFrameWindow; in the GUI host
// it is the main QWidget. These casts are the one place where the module loader relies on it.
#include <cadhost/arx.h>

class QWidget;

namespace qm::ui {

inline QWidget* widgetOfFrame(AcFrameWindow* frame) {
    return reinterpret_cast<QWidget*>(frame);
}
inline AcFrameWindow* frameOfWidget(QWidget* widget) {
    return reinterpret_cast<AcFrameWindow*>(widget);
}

}  // namespace qm::ui
