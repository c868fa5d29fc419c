#pragma once
// The product family's environment library: where the installation and the user's data lie,
// which configuration and language are current, the product registry key, path macros, help
// and resource switching. Every string is UTF-8.
//
// Sources, read afresh on every call:
//  - installation folder: $QM_APP_PATH (a relative one made absolute against the current
//    folder the first time it is seen, and kept so for the process); else, in an installed tree,
//    the sample installed with it (<prefix>/share/quillmont/sample/ when this library lies in
//    <prefix>/lib/quillmont/); else the sample installation of the build;
//  - configuration and language: HKCU\<registry key>\Kernel Services, values "Current Config"
//    and "Language"; "Default" and "enu" when absent, and then written with those defaults
//    so that a brand-new user gets a complete set-up. An empty language gives "enu"; an
//    empty configuration is kept, as the installation checker reads it;
//  - user data: $APPDATA/Brenvik/Quillmont/<version>/<configuration> (without the last part for
//    an empty configuration), with $XDG_DATA_HOME (or ~/.local/share) standing in for a
//    missing $APPDATA; the folder the installation checker copies menus below.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <qmreg/registry.h>

// Product registry key relative to a hive, no trailing separator.
std::string QmEnGetRegistryKey();
std::string QmEnGetAppPath();
std::string QmEnGetUserDataPath();
// The per-user application-data folder below which the user-data path lies: $APPDATA, else
// $XDG_DATA_HOME, else ~/.local/share. Callers that build the product's per-user folder
// themselves use this so that both name the same place.
std::string QmEnGetAppDataPath();
std::string QmEnGetCurrentConfig();
std::string QmEnGetLanguageCode();
std::string QmEnGetCurrentVersionNumber();

inline constexpr int kQmEnBaseAppPath = 1;
inline constexpr int kQmEnBaseUserData = 2;

// Replaces every macro "<NAME>" of relative (unknown macros stay as written), turns '\' into
// '/', and joins the result to the base folder (kQmEnBaseAppPath or kQmEnBaseUserData) with
// one '/'. An absolute result of the expansion is returned as it is; with any other base the
// expansion is returned unjoined. Macros are matched exactly (capitals) in one pass from left
// to right, and replacement text is not expanded again:
//   <LANGCODE>        QmEnGetLanguageCode()                 e.g. "enu"
//   <LANGNAME>        the language's English name           "English" ("deu": "German"; an
//                                                            unknown code stands for itself)
//   <LANGCOUNTRY>     the language's locale tag             "en-US" ("deu": "de-DE"; same)
//   <CURRENTCONFIG>   QmEnGetCurrentConfig()
//   <DEFAULTCONFIG>   "Default"
//   <APPATH>          QmEnGetAppPath()
//   <BINARIES>        <APPATH>/Bin
//   <RESOURCES>       <APPATH>/Resources
//   <QUILLMONTSHARED> <APPATH>/Shared
//   <TORNELOSHARED>   <APPATH>/Shared/Tornelo
//   <USERDATA>        QmEnGetUserDataPath()
//   <MYQUILLMONT>     $HOME/Documents/Quillmont
//   <AUTOCAD>         the host program's folder: $QM_HOST_PATH, else the running executable's
//   <TEMP>            $TMPDIR, else /tmp
std::string QmEnBuildFilename(std::string_view relative, int base, int reserved);

// Every macro QmEnBuildFilename replaces, each with what it stands for at this moment, in one
// fixed order. Whatever an expansion reads (environment variables, the kernel-services
// values, the running executable) shows in these values, so a caller that keeps names
// expanded earlier knows them to be current exactly while these values are unchanged.
std::vector<std::pair<std::string, std::string>> QmEnMacroValues();

// True when path names an existing file. installed is true for files of the installation and
// false for files in the user's folders; both are answered from the file system.
bool QmEnFileExist(const std::string& path, bool installed);

// Opens a help topic: looks for "<app path>/Help/<helpName>.html" and hands its file: URL,
// with "#<topic>", to $QM_HELP_VIEWER (a program path or a name in $PATH, run without a
// shell) or the system's opener (xdg-open; explorer.exe on Windows). Never waits for the viewer: it
// runs detached and is not a child of the caller. False when there is no such file or the viewer
// cannot be started.
bool QmEnHelp(int topic, std::string_view helpName);

// Registry access on one open key per object.
using QmEnHKey = std::uint32_t;
inline constexpr QmEnHKey kQmEnHKeyCurrentUser = 0x80000001u;
inline constexpr QmEnHKey kQmEnHKeyLocalMachine = 0x80000002u;

// Where the library reports store problems, each distinct message once per process. A library
// inside the host never writes to the host's standard streams: the module loader routes these
// to its diagnostic log, a command-line tool to its standard error. Without a sink (an empty
// function) they are kept only in LastError(). The sink may be called from any thread, one
// call at a time.
using QmEnReportSink = std::function<void(const std::string& message)>;
void QmEnSetReportSink(QmEnReportSink sink);

class QmEnWinRegistry {
public:
    QmEnWinRegistry();
    ~QmEnWinRegistry();  // closes the key
    QmEnWinRegistry(const QmEnWinRegistry&) = delete;
    QmEnWinRegistry& operator=(const QmEnWinRegistry&) = delete;

    // True when the key is open; create makes a missing key (and its parents). A second call
    // replaces the key held before, also when it fails (the object then holds none). Only the
    // current-user and local-machine roots exist. A store that cannot be used makes every
    // operation return false (the message is in LastError() and reported once to the sink
    // set by QmEnSetReportSink).
    bool OpenKey(QmEnHKey root, std::string_view subkey, bool create);
    // True when the value exists with a matching type; out is untouched otherwise.
    bool ReadString(std::string_view name, std::string& out);
    // A DWORD read as a 32-bit signed number: 4294967295 reads as -1.
    bool ReadLong(std::string_view name, std::int32_t& out);
    // Whether the open key holds any value: false for a key that holds none, whose every read
    // then fails.
    bool HasValues();
    bool WriteString(std::string_view name, std::string_view value);
    bool WriteLong(std::string_view name, std::int32_t value);

    // The message of the last store failure on this object, "" when there was none.
    const std::string& LastError() const { return lastError_; }

private:
    // Runs body, turning a StoreError into a false result.
    template <class F>
    bool guarded(F&& body);
    // The connection the key was opened on: an open key stays with the store it was opened
    // in, as a key handle does, also after a relocation. Used on another thread, the object
    // asks for that thread's connection (a connection belongs to one thread).
    qmreg::Hive& hive();

    QmEnHKey root_ = 0;
    qmreg::Hive::KeyPath key_;
    bool open_ = false;
    std::string lastError_;
    std::shared_ptr<qmreg::Hive> hive_;
    std::thread::id hiveThread_;
};

// Makes a module's language resources current while the object lives.
class QmEnResourceLoader {
public:
    explicit QmEnResourceLoader(std::string_view moduleName);
    ~QmEnResourceLoader();  // restores the resources that were current before Activate
    QmEnResourceLoader(const QmEnResourceLoader&) = delete;
    QmEnResourceLoader& operator=(const QmEnResourceLoader&) = delete;
    bool Activate(void* reserved);

private:
    std::string module_;
    std::string previous_;
    bool active_ = false;
};

// The resource module and language made current by the innermost active QmEnResourceLoader
// of this thread, or "" when none is active.
std::string QmEnCurrentResourceModule();
