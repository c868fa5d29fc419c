#include "drawing_tabs.h"

#include <QLabel>

namespace cadhost::gui {
namespace {
constexpr const char* kDocumentProperty = "cadhostDocument";
}

DrawingTabs::DrawingTabs(QWidget* parent) : QTabWidget(parent) {
    setDocumentMode(true);
}

DrawingTabs::~DrawingTabs() {
    if (manager_ != nullptr) {
        manager_->removeReactor(this);
    }
}

void DrawingTabs::follow(AcApDocManager* manager) {
    if (manager_ != nullptr) {
        manager_->removeReactor(this);
    }
    manager_ = manager;
    if (manager_ != nullptr) {
        manager_->addReactor(this);
        if (AcApDocument* current = manager_->curDocument()) {
            documentCreated(current);
            documentBecameCurrent(current);
        }
    }
}

QStringList DrawingTabs::titles() const {
    QStringList out;
    for (int i = 0; i < count(); ++i) {
        out << tabText(i);
    }
    return out;
}

int DrawingTabs::indexOf(AcApDocument* document) const {
    for (int i = 0; i < count(); ++i) {
        if (widget(i)->property(kDocumentProperty).value<void*>() == document) {
            return i;
        }
    }
    return -1;
}

void DrawingTabs::documentCreated(AcApDocument* document) {
    if (indexOf(document) >= 0) {
        return;
    }
    const QString name = QString::fromUtf8(document->fileName());
    auto* sheet = new QLabel(name);
    sheet->setAlignment(Qt::AlignCenter);
    sheet->setAutoFillBackground(true);
    QPalette pal = sheet->palette();
    pal.setColor(QPalette::Window, QColor(33, 40, 48));
    pal.setColor(QPalette::WindowText, QColor(140, 150, 160));
    sheet->setPalette(pal);
    sheet->setProperty(kDocumentProperty, QVariant::fromValue<void*>(document));
    addTab(sheet, name);
}

void DrawingTabs::documentToBeDestroyed(AcApDocument* document) {
    const int index = indexOf(document);
    if (index >= 0) {
        QWidget* sheet = widget(index);
        removeTab(index);
        delete sheet;
    }
}

void DrawingTabs::documentBecameCurrent(AcApDocument* document) {
    const int index = indexOf(document);
    if (index >= 0) {
        setCurrentIndex(index);
    }
}

}  // namespace cadhost::gui
