#pragma once
// The state a checker object carries between its set-up checks and its menu provisioning, the
// report in which failures collect, and the lookup of message texts. Notifications towards the
// owning API object are abstract here; StartUpCheckerImpl forwards them.
//
// One thread uses a checker object from creation to destruction; there are no locks.
#include <optional>
#include <string>
#include <string_view>

#include "checker/provisioning_pass.h"

namespace qm {

// A message text: its key in a message file and the text used when no file supplies one.
struct CheckerMessage {
    std::string_view key;
    std::string_view defaultText;
};

class StartUpCheckerLib {
public:
    virtual ~StartUpCheckerLib() = default;

    // Notifications; this system never raises them, but a checker user may.
    virtual void NotifyMessage(const std::string& text, int number) = 0;
    virtual void NotifyProgress(const std::string& text, int number) = 0;
    virtual void NotifyFinished(bool flag) = 0;

    // The message's text from section "Quillmont" of the message file when one is set and it
    // holds a non-empty entry, else the default text.
    std::string MessageText(const CheckerMessage& message) const;

    // Failure lines collected so far. The report only grows: once it holds a line, every later
    // set-up on this object fails.
    const std::string& Report() const { return report_; }
    void AppendReport(std::string_view line) { report_ += line; }

    // Detail of the last failure that has no report line of its own (a refused menu name, a
    // user folder that cannot be created, a missing source file). Diagnostic only: it never
    // makes a later set-up fail.
    const std::string& LastFailure() const { return lastFailure_; }
    void SetLastFailure(std::string text) { lastFailure_ = std::move(text); }

    const std::string& RootDirectory() const { return rootDirectory_; }
    void SetRootDirectory(std::string root) { rootDirectory_ = std::move(root); }
    const std::string& Language() const { return language_; }
    void SetLanguage(std::string language) { language_ = std::move(language); }
    const std::string& CurrentConfig() const { return currentConfig_; }
    void SetCurrentConfig(std::string config) { currentConfig_ = std::move(config); }
    const std::string& MessageFile() const { return messageFile_; }
    void SetMessageFile(std::string file) { messageFile_ = std::move(file); }

    // The provisioning pass this object serves (not owned; it outlives the object), or null:
    // each call then runs in a pass of its own (CallPass).
    void SetPass(ProvisioningPass* pass) { pass_ = pass; }

    // The pass one call runs in: the checker's, or, when it was given none, a pass made for
    // this call alone and gone with it. So a checker used outside a start-up sees every change
    // between its calls (a configuration switched, a menu added, a file removed), while within
    // one call each folder and registry value is still read once.
    class CallPass {
    public:
        explicit CallPass(const StartUpCheckerLib& checker)
            : pass_(checker.pass_ ? *checker.pass_ : own_.emplace()) {}
        // A part of a call that already runs in running.
        explicit CallPass(ProvisioningPass& running) : pass_(running) {}
        CallPass(const CallPass&) = delete;
        CallPass& operator=(const CallPass&) = delete;

        ProvisioningPass& operator*() const { return pass_; }
        ProvisioningPass* operator->() const { return &pass_; }

    private:
        std::optional<ProvisioningPass> own_;
        ProvisioningPass& pass_;
    };

private:
    std::string report_;
    std::string lastFailure_;
    std::string rootDirectory_;
    std::string language_;
    std::string currentConfig_;
    std::string messageFile_;
    ProvisioningPass* pass_ = nullptr;
};

}  // namespace qm
