#pragma once
// The drawing area: one tab per open drawing of the host, titled with its file name, the
// current drawing's tab selected. Kept up to date through the host's document reactor.
#include <QTabWidget>

#include "cadhost/arx.h"

namespace cadhost::gui {

class DrawingTabs : public QTabWidget, private AcApDocManagerReactor {
    Q_OBJECT

public:
    explicit DrawingTabs(QWidget* parent = nullptr);
    ~DrawingTabs() override;

    // Starts following the host's document manager (null: none).
    void follow(AcApDocManager* manager);
    QStringList titles() const;

private:
    void documentCreated(AcApDocument* document) override;
    void documentToBeDestroyed(AcApDocument* document) override;
    void documentBecameCurrent(AcApDocument* document) override;
    int indexOf(AcApDocument* document) const;

    AcApDocManager* manager_ = nullptr;
};

}  // namespace cadhost::gui
