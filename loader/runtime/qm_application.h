#pragma once
// One program or ARX application of a module, with an optional host command to run after an
// ARX application has loaded. A module holds its applications as an ApplicationSet, ordered
// by expanded path.
#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace qm {

// What loading an ARX application needs from the host. The model links no host, so that tools
// read definitions without one (qmloader); the module loader hands the host's functions in
// (hostArxLoader()), and a loader without them (ArxLoader{}) refuses every ARX application.
struct ArxLoader {
    int (*arxLoad)(const char* path) = nullptr;         // RTNORM, or RTERROR when not loaded
    void (*runCommand)(const char* command) = nullptr;  // runs a command line in the host
};

class QmApplication {
public:
    // path is expanded with the environment library (macros replaced, relative names joined
    // to the installation folder) and stored whatever the result. arguments, type and command
    // are carried unchanged; modal is stored and read by nobody at load time.
    QmApplication(const std::string& path, const std::string& arguments, const std::string& type,
                  const std::string& command, bool modal);
    virtual ~QmApplication() = default;
    QmApplication(const QmApplication&) = default;
    QmApplication& operator=(const QmApplication&) = default;
    QmApplication(QmApplication&&) = default;
    QmApplication& operator=(QmApplication&&) = default;

    // An application as an earlier reading made it: path is already expanded and is kept as
    // it is.
    static QmApplication Restored(std::string expandedPath, std::string arguments, std::string type,
                                  std::string command, bool modal);

    const std::string& GetPath() const { return path_; }
    const std::string& GetArguments() const { return arguments_; }
    const std::string& GetType() const { return type_; }
    const std::string& GetCommand() const { return command_; }
    bool GetModal() const { return modal_; }

    // Type "" or "exe": starts the program named by the unquoted command line "path
    // arguments" (split by the Windows rules, no shell) and does not wait for it. Type "arx":
    // loads the ARX application into the host and, when a command is given, runs it; only a
    // failed load counts, a rejected command does not. Any other type (also "EXE" or "Arx"),
    // an empty path, a program that cannot be started, an ARX application without a host
    // (arx.arxLoad null): false, nothing reported.
    virtual bool Load(const ArxLoader& arx) const;

    // The command line a program application is started with.
    std::string CommandLine() const;

private:
    struct AsRead {};
    QmApplication(AsRead, std::string path, std::string arguments, std::string type,
                  std::string command, bool modal)
        : path_(std::move(path)),
          arguments_(std::move(arguments)),
          type_(std::move(type)),
          command_(std::move(command)),
          modal_(modal) {}

    std::string path_;
    std::string arguments_;
    std::string type_;
    std::string command_;
    bool modal_ = false;
};

// Orders applications by path in UTF-16 code-unit order, case-sensitively.
struct ApplicationPathLess {
    bool operator()(const QmApplication& a, const QmApplication& b) const;
};

// A module's applications in ApplicationPathLess order, each path once: inserting an
// application whose path is already present keeps the first one. Held in one sorted array, as
// a module has one or a few: a start-up builds and frees tens of thousands of these
// (docs/PERFORMANCE.md: applications in one array).
class ApplicationSet {
public:
    using value_type = QmApplication;
    using const_iterator = std::vector<QmApplication>::const_iterator;
    using iterator = const_iterator;

    ApplicationSet() = default;
    ApplicationSet(std::initializer_list<QmApplication> applications) {
        for (const QmApplication& application : applications) {
            insert(application);
        }
    }

    // The application's place and whether it was added. One given after the last (as a
    // snapshot stores them) costs one comparison.
    std::pair<const_iterator, bool> insert(QmApplication application) {
        const ApplicationPathLess less;
        if (items_.empty() || less(items_.back(), application)) {
            items_.push_back(std::move(application));
            return {items_.end() - 1, true};
        }
        const auto at = std::lower_bound(items_.begin(), items_.end(), application, less);
        if (!less(application, *at)) {
            return {at, false};
        }
        return {items_.insert(at, std::move(application)), true};
    }
    // Makes room for n applications in all.
    void reserve(std::size_t n) { items_.reserve(n); }

    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }

private:
    std::vector<QmApplication> items_;
};

// Loads every application in set order and stops at the first that fails. True when all
// loaded, also for an empty set.
bool LoadApplications(const ApplicationSet& applications, const ArxLoader& arx);

}  // namespace qm
