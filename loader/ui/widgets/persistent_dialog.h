#pragma once
// A dialog that remembers its placement and named integer items in the registry, the way the
// host's dialog base does: under HKEY_CURRENT_USER, <root key>\Dialogs\<dialog name>, the
// placement as the DWORD values "WindowLeft", "WindowTop", "WindowWidth", "WindowHeight" and
// "WindowMaximized", the items as DWORD values of their own names in the subkey "Data".
// It also offers the wait cursor and the control anchors that follow resizing.
#include <QDialog>
#include <string>
#include <string_view>

namespace qm::ui {

class AnchorLayout;

class PersistentDialog : public QDialog {
    Q_OBJECT

public:
    explicit PersistentDialog(QWidget* parent = nullptr);
    ~PersistentDialog() override;

    void setRootKey(std::string key) { rootKey_ = std::move(key); }
    void setDialogName(std::string_view name) { dialogName_ = name; }
    // With persistency off nothing is read or written.
    void setPersistency(bool on) { persistent_ = on; }
    std::string registryKey() const;

    // A stored item; false, leaving value as it was, when there is none.
    bool getDialogData(const std::string& name, int& value) const;
    void setDialogData(const std::string& name, int value);

    // Writes the current placement; the next showing of a dialog of the same name takes it.
    void storePlacement();
    // Applies the stored placement, if any; the size never falls below the layout's minimum.
    bool restorePlacement();

    // The wait cursor over the whole application; calls nest.
    void beginWaitCursor();
    void endWaitCursor();
    int waitCursorDepth() const { return waitDepth_; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // F1: the dialog's help. True when handled.
    virtual bool helpRequested() { return false; }

private:
    std::string rootKey_;
    std::string dialogName_;
    bool persistent_ = false;
    bool placementApplied_ = false;
    int waitDepth_ = 0;
};

}  // namespace qm::ui
