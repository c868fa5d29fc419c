// The catalogue snapshot file is untrusted input: whatever its bytes, loading it must neither
// read outside them nor hand out a damaged record, and a damaged snapshot only costs a full
// read. The equality of scans with and without it is tested through qmloader.
#include "catalogue/catalogue_snapshot.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>
#include <qmsys/file_identity.h>
#include <qmsys/files.h>
#include <qmtest/files.h>
#include <qmtest/own_process.h>
#include <qmtest/wait.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue_fixture.h"

namespace {

using qm::DefinitionOutcome;
using qm::SnapshotBuilder;
using qm::SnapshotScope;
using qm::SnapshotView;
using Identity = qmsys::FileIdentity;

class CatalogueSnapshotTest : public qmtest::CatalogueFixture {
protected:
    const std::vector<std::string> files_ = {"bridge.default.xml", "broken.default.xml",
                                             "road.default.xml"};

    CatalogueSnapshotTest() {
        qmtest::DefinitionDoc accepted;
        accepted.keyname = "QM_ROAD";
        accepted.moduleName = "Road design";
        accepted.menus = {{"KRQM_ROAD_enu"}, {"KRQM_ROAD_Extra_enu", "Extra"}};
        accepted.applications = std::vector<qmtest::ApplicationElement>{
            {"Bin\\road.arx", "", "arx", "ROAD_INIT", "False"},
            {"Bin\\tool.exe", "-q", "exe", "", "True"}};
        writeDefinition("road.default.xml", accepted);
        qmtest::DefinitionDoc comError = accepted;
        comError.keyname = "QM_BRIDGE";
        comError.applications =
            std::vector<qmtest::ApplicationElement>{{"app", "", "", "", std::nullopt}};
        writeDefinition("bridge.default.xml", comError);
        writeRaw("broken.default.xml", "<QM_Module><Keyname>QM_X</Keyname>");
        waitPastFileTimes(files_);
    }

    qm::ModuleList scan(std::string& errorText) {
        qm::CatalogueContext context = qm::MakeCatalogueContext("Default", "enu");
        context.useSnapshot = true;
        qm::ModuleList list;
        qm::LoadCatalogue(context, modules(), "xml", list, errorText);
        return list;
    }

    SnapshotScope scope() const {
        const std::optional<SnapshotScope> s =
            SnapshotScope::current("default", "enu", modules(), "*.default.xml");
        EXPECT_TRUE(s.has_value());
        return s.value_or(SnapshotScope{});
    }

    // A builder for a scan that starts now.
    SnapshotBuilder builder() const {
        return SnapshotBuilder(scope(), qmsys::markFileClock(modules()));
    }
};

// Every byte of a recorded snapshot replaced in turn, the checksum made to match, so that the
// structure itself is what loading has to check: lengths and counts that point past the end,
// outcome kinds and faults out of range. A snapshot either keeps all its entries or is
// dropped whole, and an entry it hands out decodes to a record without crashing.
TEST_F(CatalogueSnapshotTest, DamageBehindAMatchingChecksumIsCaught) {
    std::string errorText;
    scan(errorText);
    const SnapshotScope s = scope();
    const std::string intact = qmtest::readFile(s.file());
    ASSERT_EQ(SnapshotView::parse(intact, s, nullptr).size(), files_.size());
    Identity folder;
    ASSERT_TRUE(qmsys::identifyFile(modules(), folder));
    // The names point into the view, which lives as long as they are used.
    const SnapshotView whole = SnapshotView::parse(intact, s, nullptr);
    std::vector<std::string_view> listed;
    ASSERT_TRUE(whole.listing(folder, listed));
    ASSERT_EQ(std::vector<std::string>(listed.begin(), listed.end()), files_);

    const struct {
        const char* what;
        char (*damage)(char);
    } kinds[] = {
        {"zero", [](char) { return '\0'; }},
        {"all ones", [](char) { return static_cast<char>(0xFF); }},
        {"high bit", [](char c) { return static_cast<char>(c ^ 0x80); }},
        {"low bit", [](char c) { return static_cast<char>(c ^ 0x01); }},
    };
    for (const auto& kind : kinds) {
        for (std::size_t at = 0; at + 8 < intact.size(); ++at) {
            std::string bytes = intact;
            bytes[at] = kind.damage(bytes[at]);
            if (bytes == intact) {
                continue;
            }
            SnapshotBuilder::reseal(bytes);
            const SnapshotView damaged = SnapshotView::parse(bytes, s, nullptr);
            ASSERT_TRUE(damaged.size() == 0 || damaged.size() == files_.size())
                << kind.what << " at " << at;
            // A listing handed out names recorded entries (damaged names among them), each
            // once.
            if (damaged.listing(folder, listed)) {
                std::sort(listed.begin(), listed.end());
                EXPECT_TRUE(listed.size() <= files_.size() &&
                            std::adjacent_find(listed.begin(), listed.end()) == listed.end())
                    << kind.what << " at " << at;
            }
            for (const std::string& file : files_) {
                Identity id;
                ASSERT_TRUE(qmsys::identifyFile(modules() + "/" + file, id));
                DefinitionOutcome outcome;
                const std::optional<std::string_view> stored = damaged.recorded(file, id);
                if (stored && SnapshotView::decode(*stored, outcome)) {
                    EXPECT_TRUE(outcome.accepted ||
                                outcome.diagnostic.fault != qm::DefinitionFault::None)
                        << kind.what << " at " << at;
                }
            }
        }
    }
    // Cut short anywhere, a snapshot is dropped whole.
    for (std::size_t length = 0; length + 1 < intact.size(); ++length) {
        std::string bytes = intact.substr(0, length);
        SnapshotBuilder::reseal(bytes);
        EXPECT_EQ(SnapshotView::parse(bytes, s, nullptr).size(), 0u) << "length " << length;
    }
}

// A folder's listing is handed out in its recorded order, and only for the folder as it was
// before the recording scan started: any other identity, or times from that scan's tick on,
// mean names may have been added, removed or renamed.
TEST_F(CatalogueSnapshotTest, AListingIsGivenOnlyForTheFolderAsRecorded) {
    const Identity recorded{4096, 1'000, 2'000, 77, 8};
    const std::vector<std::string> order = {"road.default.xml", "bridge.default.xml",
                                            "broken.default.xml"};
    const struct {
        const char* what;
        std::size_t put;  // how many of the listed names have an entry
        Identity recordedFolder;
        Identity folderNow;
        bool given;
    } cases[] = {
        {"unchanged", 3, recorded, recorded, true},
        {"another inode", 3, recorded, {4096, 1'000, 2'000, 78, 8}, false},
        {"another device", 3, recorded, {4096, 1'000, 2'000, 77, 9}, false},
        {"modified", 3, recorded, {4096, 1'001, 2'000, 77, 8}, false},
        {"changed", 3, recorded, {4096, 1'000, 2'001, 77, 8}, false},
        {"racy", 3, {4096, INT64_MAX, 2'000, 77, 8}, {4096, INT64_MAX, 2'000, 77, 8}, false},
        {"a listed file without an entry", 2, recorded, recorded, false},
    };
    for (const auto& c : cases) {
        SnapshotBuilder next = builder();
        for (std::size_t i = 0; i < c.put; ++i) {
            next.add(order[i], Identity{}, DefinitionOutcome());
        }
        next.setListing(c.recordedFolder, order.size());
        const SnapshotView loaded = SnapshotView::parse(next.serialize(), scope(), nullptr);
        ASSERT_EQ(loaded.size(), c.put) << c.what;
        std::vector<std::string_view> listed = {"left alone"};
        EXPECT_EQ(loaded.listing(c.folderNow, listed), c.given) << c.what;
        EXPECT_EQ(std::vector<std::string>(listed.begin(), listed.end()),
                  c.given ? order : std::vector<std::string>{"left alone"})
            << c.what;
    }
}

// A scan that finds every file as recorded leaves the snapshot file alone; a scan that reads
// one again replaces it, and the replacement gives the same list.
TEST_F(CatalogueSnapshotTest, AnUnchangedScanDoesNotRewriteTheSnapshot) {
    std::string firstError;
    const qm::ModuleList first = scan(firstError);
    const std::string file = scope().file();
    qmsys::FileIdentity before;
    ASSERT_TRUE(qmsys::identifyFile(file, before));

    std::string errorText;
    scan(errorText);
    qmsys::FileIdentity after;
    ASSERT_TRUE(qmsys::identifyFile(file, after));
    EXPECT_EQ(after.inode, before.inode);
    EXPECT_EQ(after.modifiedNs, before.modifiedNs);

    ASSERT_EQ(qmsys::deleteFile(modules() + "/broken.default.xml"), qmsys::kErrorSuccess);
    scan(errorText);
    ASSERT_TRUE(qmsys::identifyFile(file, after));
    EXPECT_NE(after.inode, before.inode);
    std::string againError;
    const qm::ModuleList again = scan(againError);
    ASSERT_EQ(again.size(), first.size());
    EXPECT_EQ(againError, firstError);
    for (std::size_t i = 0; i < again.size(); ++i) {
        EXPECT_EQ(again[i].GetKey(), first[i].GetKey());
        EXPECT_EQ(again[i].GetApplications().size(), first[i].GetApplications().size());
    }
}

#if !defined(_WIN32)  // links need a privilege there
// Another program that can write to the user's state folder may plant links there: writing the
// snapshot never follows one, at the name a temporary file used to have or at the snapshot's.
TEST_F(CatalogueSnapshotTest, SavingNeverWritesThroughAPlantedLink) {
    std::string errorText;
    scan(errorText);
    const std::string file = scope().file();
    const std::string victim = installation() + "/victim";
    qmtest::writeFile(victim, "untouched");
    ASSERT_EQ(::symlink(victim.c_str(), (file + ".tmp." + std::to_string(::getpid())).c_str()), 0);
    ASSERT_EQ(::unlink(file.c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), file.c_str()), 0);
    scan(errorText);  // the link is not a snapshot: the scan reads every file and saves anew
    EXPECT_EQ(qmtest::readFile(victim), "untouched");
    struct stat st {};
    ASSERT_EQ(::lstat(file.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(SnapshotView::parse(qmtest::readFile(file), scope(), nullptr).size(), files_.size());
}
#endif

// A start killed while it wrote the snapshot left its temporary file beside it: the next save
// removes that, but never the file of a writer that still has it (locked, as a writer does).
TEST_F(CatalogueSnapshotTest, ASaveRemovesWhatAKilledWriteLeftAndNothingElse) {
    std::string errorText;
    scan(errorText);
    const std::string file = scope().file();
    const std::string folder = file.substr(0, file.rfind('/'));
    const std::string name = file.substr(file.rfind('/') + 1);
    const std::string abandoned = folder + "/." + name + ".qmtmp-Ab12Cd";
    const std::string held = folder + "/." + name + ".qmtmp-Ef34Gh";
    const std::string unrelated = folder + "/.other.qmtmp-Ab12Cd";
    qmtest::writeFile(abandoned, "half a snapshot");
    qmtest::writeFile(unrelated, "another file's");
    const qmsys::FileHandle writer = qmsys::lockFile(held);
    ASSERT_TRUE(writer.valid());
    // A change, so that the scan saves.
    ASSERT_EQ(qmsys::deleteFile(modules() + "/broken.default.xml"), qmsys::kErrorSuccess);
    scan(errorText);
    EXPECT_FALSE(qmsys::fileExists(abandoned));
    EXPECT_TRUE(qmsys::fileExists(held));
    EXPECT_TRUE(qmsys::fileExists(unrelated));
}

constexpr std::int64_t kSecond = 1'000'000'000;
// Stamps long before any scan of a test, with a fraction that no coarse clock gives.
constexpr std::int64_t kLongAgo = 1'000'000'000 * kSecond + 123'456'789;

std::int64_t fileClockNow() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &ts);
    return ts.tv_sec * kSecond + ts.tv_nsec;
}

DefinitionOutcome acceptedOutcome(const std::string& key) {
    DefinitionOutcome outcome;
    outcome.accepted = true;
    outcome.record.SetKey(key);
    outcome.record.AddApplication(
        qm::QmApplication::Restored("/opt/app/" + key + ".arx", "", "arx", "", false));
    return outcome;
}

bool taken(const SnapshotView& snapshot, const std::string& name, const Identity& now) {
    DefinitionOutcome out;
    const std::optional<std::string_view> stored = snapshot.recorded(name, now);
    return stored && SnapshotView::decode(*stored, out);
}

// File systems that keep whole seconds (FAT: two), or 10 ms, stamp every change within one
// tick alike: a stamp is vouched for only when its whole tick lay before the recording scan
// started, else a change later in that tick would go unseen. Whole-second stamps are what
// ext2 with small inodes, FAT and many shares report.
TEST_F(CatalogueSnapshotTest, CoarseStampsAreVouchedForOnlyOnceTheirTickIsOver) {
    // The scan's start is known to the second only when no second began while the builder
    // was made; one that did is made again (a second can begin during one attempt only).
    std::int64_t before = 0;
    std::int64_t after = 0;
    SnapshotBuilder next = builder();
    for (int attempt = 0; attempt < 3; ++attempt) {
        before = fileClockNow();
        next = builder();
        after = fileClockNow();
        if (before / kSecond == after / kSecond) {
            break;
        }
    }
    ASSERT_EQ(before / kSecond, after / kSecond) << "each builder took a second or more";
    const std::int64_t second = before / kSecond * kSecond;
    const std::int64_t tenMs = after / (kSecond / 100) * (kSecond / 100);
    const struct {
        const char* what;
        std::int64_t stamp;
        bool taken;
    } cases[] = {
        {"whole second in which the scan started", second, false},
        {"whole second before it (a two-second tick)", second - kSecond, false},
        {"whole second two before it", second - 2 * kSecond, true},
        {"10 ms tick that follows the scan's", tenMs + kSecond / 100, false},
        {"fine stamp of the second before", second - kSecond + 123'456'789, true},
        {"fine stamp long ago", kLongAgo, true},
    };
    std::uint64_t inode = 1;
    for (const auto& c : cases) {
        next.add(c.what, Identity{10, c.stamp, c.stamp, inode++, 1}, acceptedOutcome("QM_X"));
    }
    const SnapshotView loaded = SnapshotView::parse(next.serialize(), scope(), nullptr);
    ASSERT_EQ(loaded.size(), std::size(cases));
    inode = 1;
    for (const auto& c : cases) {
        EXPECT_EQ(taken(loaded, c.what, {10, c.stamp, c.stamp, inode++, 1}), c.taken) << c.what;
    }

    // The folder's listing alike: a name added in the recording second leaves a whole-second
    // folder as it was.
    const std::vector<std::string> names = {"road.default.xml"};
    for (const auto& [stamp, given] : {std::pair{second, false}, {second - 2 * kSecond, true}}) {
        SnapshotBuilder withListing = builder();
        withListing.add(names[0], {}, acceptedOutcome("QM_ROAD"));
        const Identity folder{4096, stamp, stamp, 5, 1};
        withListing.setListing(folder, names.size());
        std::vector<std::string_view> listed;
        EXPECT_EQ(
            SnapshotView::parse(withListing.serialize(), scope(), nullptr).listing(folder, listed),
            given)
            << stamp;
    }
}

// Each defence of the snapshot on its own, in a case where nothing else would notice.
// The recorded identity: a file replaced by another of the same size with the times put back
// (as a share whose server clock lags gives them) differs only in its inode; times long past
// keep the racy-stamp rule out of it.
TEST_F(CatalogueSnapshotTest, AnyDifferenceInAFilesIdentityAloneRefusesItsOutcome) {
    const Identity recorded{100, kLongAgo, kLongAgo, 7, 8};
    SnapshotBuilder next = builder();
    next.add("road.default.xml", recorded, acceptedOutcome("QM_ROAD"));
    const SnapshotView loaded = SnapshotView::parse(next.serialize(), scope(), nullptr);
    const struct {
        const char* what;
        std::function<void(Identity&)> change;
        bool taken;
    } cases[] = {
        {"unchanged", [](Identity&) {}, true},
        {"size", [](Identity& id) { ++id.size; }, false},
        {"modification time", [](Identity& id) { --id.modifiedNs; }, false},
        {"change time", [](Identity& id) { --id.changedNs; }, false},
        {"replaced, times put back", [](Identity& id) { ++id.inode; }, false},
        {"another device", [](Identity& id) { ++id.device; }, false},
    };
    for (const auto& c : cases) {
        Identity now = recorded;
        c.change(now);
        EXPECT_EQ(taken(loaded, "road.default.xml", now), c.taken) << c.what;
    }
}

// The recorded scope: a snapshot is dropped whole when any part of the scope differs, the
// loader binary's identity among them (a new build must not take outcomes the old one
// recorded). Parsed against the changed scope directly, so the file name, which hashes most
// of the scope, plays no part.
TEST_F(CatalogueSnapshotTest, AnyDifferenceInTheScopeAloneDropsTheSnapshot) {
    const SnapshotScope recorded = scope();
    ASSERT_FALSE(recorded.macros.empty());
    SnapshotBuilder next(recorded, qmsys::markFileClock(modules()));
    next.add("road.default.xml", {100, kLongAgo, kLongAgo, 7, 8}, acceptedOutcome("QM_ROAD"));
    const std::string bytes = next.serialize();
    using Scope = SnapshotScope;
    const struct {
        const char* what;
        std::function<void(Scope&)> change;
    } cases[] = {
        {"configuration", [](Scope& s) { s.config = "other"; }},
        {"language", [](Scope& s) { s.language = "deu"; }},
        {"folder", [](Scope& s) { s.folder += "2"; }},
        {"pattern", [](Scope& s) { s.pattern = "*.other.xml"; }},
        {"installation", [](Scope& s) { s.appPath += "2"; }},
        {"a macro's value", [](Scope& s) { s.macros.back().second += "2"; }},
        {"a macro's letter case", [](Scope& s) { s.macros.front().second[0] ^= 0x20; }},
        {"a macro fewer", [](Scope& s) { s.macros.pop_back(); }},
        {"loader binary", [](Scope& s) { s.loaderFile += "2"; }},
        {"loader rebuilt in place", [](Scope& s) { ++s.loader.modifiedNs; }},
        {"loader replaced", [](Scope& s) { ++s.loader.inode; }},
        {"schema", [](Scope& s) { ++s.schema.size; }},
    };
    ASSERT_EQ(SnapshotView::parse(bytes, recorded, nullptr).size(), 1u);
    for (const auto& c : cases) {
        Scope now = recorded;
        c.change(now);
        std::string why;
        EXPECT_EQ(SnapshotView::parse(bytes, now, &why).size(), 0u) << c.what;
        EXPECT_NE(why.find("other"), std::string::npos) << c.what << ": " << why;
    }
}

// The checksum: one byte changed inside a recorded path leaves a snapshot whose structure is
// sound, so only the checksum can refuse it (sealed anew, the altered path is handed out).
TEST_F(CatalogueSnapshotTest, OneAlteredByteAloneFailsTheChecksum) {
    SnapshotBuilder next = builder();
    const Identity id{100, kLongAgo, kLongAgo, 7, 8};
    next.add("road.default.xml", id, acceptedOutcome("QM_ROAD"));
    std::string bytes = next.serialize();
    const std::size_t at = bytes.find("/opt/app/QM_ROAD.arx");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 9] = 'X';  // "/opt/app/XM_ROAD.arx"
    std::string why;
    EXPECT_EQ(SnapshotView::parse(bytes, scope(), &why).size(), 0u);
    EXPECT_EQ(why, "checksum");

    SnapshotBuilder::reseal(bytes);
    const SnapshotView resealed = SnapshotView::parse(bytes, scope(), nullptr);
    DefinitionOutcome out;
    const std::optional<std::string_view> stored = resealed.recorded("road.default.xml", id);
    ASSERT_TRUE(stored && SnapshotView::decode(*stored, out));
    EXPECT_EQ(out.record.GetApplications().begin()->GetPath(), "/opt/app/XM_ROAD.arx");
}

// A snapshot with a right checksum is still only a file anyone with access to the state folder
// may have written: a listed name must be one that reading the folder could give, a single
// entry that matches the pattern, or the folder is read instead.
TEST_F(CatalogueSnapshotTest, AListingNamesOnlyEntriesTheFolderCouldHold) {
    const Identity folder{4096, kLongAgo, kLongAgo, 5, 1};
    const struct {
        std::string name;
        bool given;
    } cases[] = {
        {"road.default.xml", true},
        {"ROAD.DEFAULT.XML", true},
        {"../../../outside.default.xml", false},
        {"sub/road.default.xml", false},
        {"/etc/road.default.xml", false},
        {std::string("road\0x.default.xml", 18), false},
        {"road.other.xml", false},
        {"..", false},
        {".", false},
        {"", false},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> names = {"bridge.default.xml", c.name};
        SnapshotBuilder next = builder();
        for (const std::string& name : names) {
            next.add(name, {}, acceptedOutcome("QM_X"));
        }
        next.setListing(folder, names.size());
        std::vector<std::string_view> listed;
        EXPECT_EQ(SnapshotView::parse(next.serialize(), scope(), nullptr).listing(folder, listed),
                  c.given)
            << c.name;
    }
}

#if !defined(_WIN32)  // needs an address-space limit
// A file in the snapshot's place that is far larger than any snapshot, or not one at all, is
// refused after one small read: loading runs with an address space that has room for little
// more than what it holds already. The limit is the whole process's, so the test runs in a
// process of its own.
TEST_F(CatalogueSnapshotTest, AnOversizedOrForeignFileIsRefusedWithoutReadingIt) {
    if (!qmtest::inOwnProcess()) {
        return;
    }
    std::string errorText;
    scan(errorText);
    const std::string file = scope().file();
    const std::string header = qmtest::readFile(file).substr(0, 4096);
    const struct {
        const char* what;
        std::string start;
        off_t size;
    } cases[] = {
        {"2 GiB behind a snapshot's header", header, off_t{2} << 30},
        {"200 MiB of something else", "not a snapshot", off_t{200} << 20},
    };
    for (const auto& c : cases) {
        qmtest::writeFile(file, c.start);
        ASSERT_EQ(::truncate(file.c_str(), c.size), 0);
        std::ifstream statm("/proc/self/statm");
        unsigned long long pages = 0;
        statm >> pages;
        const rlim_t limit =
            static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) +
            (rlim_t{64} << 20);
        // Only the soft limit, which the process may raise again afterwards.
        struct Room {
            rlimit before{};
            explicit Room(rlim_t bytes) {
                ::getrlimit(RLIMIT_AS, &before);
                const rlimit room{bytes, before.rlim_max};
                EXPECT_EQ(::setrlimit(RLIMIT_AS, &room), 0);
            }
            ~Room() { ::setrlimit(RLIMIT_AS, &before); }
        };
        std::size_t loaded = 1;
        {
            const Room room(limit);
            loaded = SnapshotView::load(scope(), nullptr).size();
        }
        EXPECT_EQ(loaded, 0u) << c.what;
    }
    ::unlink(file.c_str());
}
#endif

}  // namespace
