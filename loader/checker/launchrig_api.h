#pragma once
// The installation checker's public API. An API object owns one implementation object that
// holds the checker's state; a user sets the installation root and then asks for the user's
// private menu copies to be checked or brought up to date. Failures collect in the report,
// which the caller may read but which is never shown to the user.
//
// Subclasses receive the implementation's notifications. Not thread-safe: one thread uses an
// object from creation to destruction.
#include <memory>
#include <string>

namespace qm {

class ProvisioningPass;

class StartUpCheckerImpl;

class LaunchrigApi {
public:
    // Creates the implementation object. If that fails, every operation reports false or does
    // nothing.
    LaunchrigApi();
    virtual ~LaunchrigApi();
    LaunchrigApi(const LaunchrigApi&) = delete;
    LaunchrigApi& operator=(const LaunchrigApi&) = delete;

    virtual void NotifyMessage(const std::string& text, int number) = 0;
    virtual void NotifyProgress(const std::string& text, int number) = 0;
    virtual void NotifyFinished(bool flag) = 0;

    // The installation root; the set-up removes one trailing separator from it.
    void SetRootDirectory(const std::string& root);
    // A file whose section "Quillmont" overrides message texts.
    void SetMessageFile(const std::string& file);
    // The provisioning pass this object serves; it outlives the object. Without one (null),
    // each MenuCheck and MenuUpdate runs in a pass of its own, so nothing it read is reused by
    // the next.
    void SetPass(ProvisioningPass* pass);

    // Check mode: true when the user's copies of the menu (and its companions) in the
    // module's menus folder are current, or do not exist yet. Copies nothing.
    bool MenuCheck(const std::string& moduleFolder, const std::string& menuName);
    // Update mode: replaces out-of-date copies and copies missing ones.
    bool MenuUpdate(const std::string& moduleFolder, const std::string& menuName);
    // The same, saying whether an out-of-date copy was replaced: the one call a menu's loading
    // makes before it hands the copy to the host, which then reloads a group loaded from the
    // old copy and keeps one whose copy was current.
    bool MenuUpdate(const std::string& moduleFolder, const std::string& menuName, bool& replaced);
    // False for a menu name that both modes refuse, without any set-up: one whose copy would
    // leave the user's menus folder (separators, "..", an absolute name) or that is too short
    // for its language code.
    static bool AcceptsMenuName(const std::string& menuName);

    // Failure lines so far ("" without an implementation object).
    const std::string& Report() const;
    // Detail of the last failure that left no report line; see StartUpCheckerLib.
    const std::string& LastFailure() const;

private:
    std::unique_ptr<StartUpCheckerImpl> impl_;
};

}  // namespace qm
