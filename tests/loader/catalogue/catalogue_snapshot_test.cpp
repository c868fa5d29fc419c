// The catalogue snapshot file is untrusted input: whatever its bytes, loading it must neither
// read outside them nor hand out a damaged record, and a damaged snapshot only costs a full
// read. The equality of scans with and without it is tested through qmloader.
#include "catalogue/catalogue_snapshot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <qmtest/files.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue_fixture.h"

namespace {

using qm::CatalogueSnapshot;

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

    CatalogueSnapshot::Scope scope() const {
        CatalogueSnapshot::Scope s;
        EXPECT_TRUE(
            CatalogueSnapshot::currentScope("default", "enu", modules(), "*.default.xml", s));
        return s;
    }
};

// Every byte of a recorded snapshot replaced in turn, the checksum made to match, so that the
// structure itself is what loading has to check: lengths and counts that point past the end,
// outcome kinds and faults out of range. A snapshot either keeps all its entries or is
// dropped whole, and an entry it hands out decodes to a record without crashing.
TEST_F(CatalogueSnapshotTest, DamageBehindAMatchingChecksumIsCaught) {
    std::string errorText;
    scan(errorText);
    const CatalogueSnapshot::Scope s = scope();
    const std::string intact = qmtest::readFile(CatalogueSnapshot::fileOf(s));
    ASSERT_EQ(CatalogueSnapshot::parse(intact, s, nullptr).size(), files_.size());
    CatalogueSnapshot::Identity folder;
    ASSERT_TRUE(CatalogueSnapshot::identify(modules(), folder));
    std::vector<std::string> listed;
    ASSERT_TRUE(CatalogueSnapshot::parse(intact, s, nullptr).takeListing(folder, listed));
    ASSERT_EQ(listed, files_);

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
            CatalogueSnapshot::reseal(bytes);
            const CatalogueSnapshot damaged = CatalogueSnapshot::parse(bytes, s, nullptr);
            ASSERT_TRUE(damaged.size() == 0 || damaged.size() == files_.size())
                << kind.what << " at " << at;
            // A listing handed out names recorded entries (damaged names among them), each
            // once.
            if (damaged.takeListing(folder, listed)) {
                std::sort(listed.begin(), listed.end());
                EXPECT_TRUE(listed.size() <= files_.size() &&
                            std::adjacent_find(listed.begin(), listed.end()) == listed.end())
                    << kind.what << " at " << at;
            }
            for (const std::string& file : files_) {
                CatalogueSnapshot::Identity id;
                ASSERT_TRUE(CatalogueSnapshot::identify(modules() + "/" + file, id));
                CatalogueSnapshot::Outcome outcome;
                std::string_view recorded;
                std::size_t cursor = 0;
                if (damaged.take(file, id, outcome, recorded, cursor)) {
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
        CatalogueSnapshot::reseal(bytes);
        EXPECT_EQ(CatalogueSnapshot::parse(bytes, s, nullptr).size(), 0u) << "length " << length;
    }
}

// A folder's listing is handed out in its recorded order, and only for the folder as it was
// before the recording scan started: any other identity, or times from that scan's tick on,
// mean names may have been added, removed or renamed.
TEST_F(CatalogueSnapshotTest, AListingIsGivenOnlyForTheFolderAsRecorded) {
    const CatalogueSnapshot::Identity recorded{4096, 1'000, 2'000, 77, 8};
    const std::vector<std::string> order = {"road.default.xml", "bridge.default.xml",
                                            "broken.default.xml"};
    const struct {
        const char* what;
        std::size_t put;  // how many of the listed names have an entry
        CatalogueSnapshot::Identity recordedFolder;
        CatalogueSnapshot::Identity folderNow;
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
        CatalogueSnapshot next(scope());
        next.startScan();
        for (std::size_t i = 0; i < c.put; ++i) {
            next.put(order[i], CatalogueSnapshot::Identity{}, CatalogueSnapshot::Outcome());
        }
        next.putListing(c.recordedFolder, order);
        const CatalogueSnapshot loaded =
            CatalogueSnapshot::parse(next.serialize(), scope(), nullptr);
        ASSERT_EQ(loaded.size(), c.put) << c.what;
        std::vector<std::string> listed = {"left alone"};
        EXPECT_EQ(loaded.takeListing(c.folderNow, listed), c.given) << c.what;
        EXPECT_EQ(listed, c.given ? order : std::vector<std::string>{"left alone"}) << c.what;
    }
}

// A scan that finds every file as recorded leaves the snapshot file alone; a scan that reads
// one again replaces it, and the replacement gives the same list.
TEST_F(CatalogueSnapshotTest, AnUnchangedScanDoesNotRewriteTheSnapshot) {
    std::string firstError;
    const qm::ModuleList first = scan(firstError);
    const std::string file = CatalogueSnapshot::fileOf(scope());
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);

    std::string errorText;
    scan(errorText);
    struct stat after {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    ::unlink((modules() + "/broken.default.xml").c_str());
    scan(errorText);
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    std::string againError;
    const qm::ModuleList again = scan(againError);
    ASSERT_EQ(again.size(), first.size());
    EXPECT_EQ(againError, firstError);
    for (std::size_t i = 0; i < again.size(); ++i) {
        EXPECT_EQ(again[i].GetKey(), first[i].GetKey());
        EXPECT_EQ(again[i].GetApplications().size(), first[i].GetApplications().size());
    }
}

// Another program that can write to the user's state folder may plant links there: writing the
// snapshot never follows one, at the name a temporary file used to have or at the snapshot's.
TEST_F(CatalogueSnapshotTest, SavingNeverWritesThroughAPlantedLink) {
    std::string errorText;
    scan(errorText);
    const std::string file = CatalogueSnapshot::fileOf(scope());
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
    EXPECT_EQ(CatalogueSnapshot::parse(qmtest::readFile(file), scope(), nullptr).size(),
              files_.size());
}

}  // namespace
