// What a scan learns of its folder before it reads a file: the folder's listing, the previous
// snapshot, and for each file the identity a stat of its path gives, so that the snapshot
// vouches for a recorded outcome only where it should.
#include "catalogue/scan_listing.h"

#if !defined(_WIN32)
#if !defined(_WIN32)
#include <unistd.h>
#endif
#endif

#include <gtest/gtest.h>
#include <qmsys/file_identity.h>
#include <qmsys/files.h>
#include <qmtest/files.h>
#include <qmtest/temp_dir.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "catalogue_fixture.h"

namespace {

using qm::CatalogueScan;
using qm::ScanListing;
using qm::SnapshotScope;
using Identity = qmsys::FileIdentity;

class ScanListingTest : public qmtest::CatalogueFixture {
protected:
    static constexpr const char* kPattern = "*.default.xml";

    // count definitions of different sizes; every seventh a link to nothing (listed, but not
    // to be stat'ed; a plain definition on Windows, where links need a privilege), the last one
    // a folder (which a snapshot may vouch for as well).
    std::vector<std::string> makeNames(std::size_t count) const {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < count; ++i) {
            names.push_back("def" + std::to_string(1000 + i) + ".default.xml");
            const std::string path = modules() + "/" + names.back();
            if (i + 1 == count) {
                EXPECT_EQ(qmsys::createDirectory(path), qmsys::kErrorSuccess);
#if !defined(_WIN32)
            } else if (i % 7 == 3) {
                EXPECT_EQ(::symlink("nowhere", path.c_str()), 0);
#endif
            } else {
                writeRaw(names.back(), std::string(i % 50, 'x'));
            }
        }
        return names;
    }

    SnapshotScope scope(const char* folder = "recorded") const {
        SnapshotScope s;
        s.config = "default";
        s.folder = folder;
        s.pattern = kPattern;
        return s;
    }

    // Saves a snapshot recording, for every name that can be stat'ed, a record whose key is
    // the name, as a scan would leave it. Returns the number of entries.
    std::size_t record(const std::vector<std::string>& names) const {
        waitPastFileTimes(names);
        qm::SnapshotBuilder next(scope(), qmsys::markFileClock(modules()));
        for (const std::string& name : names) {
            Identity id;
            if (qmsys::identifyFile(modules() + "/" + name, id)) {
                qm::DefinitionOutcome outcome;
                outcome.accepted = true;
                outcome.record.SetKey(name);
                next.add(name, id, outcome);
            }
        }
        next.save(nullptr);
        return next.size();
    }
};

TEST_F(ScanListingTest, LearnsWhatAStatAndTheSnapshotTell) {
    const std::vector<std::string> made = makeNames(40);
    const std::size_t recorded = record(made);
    // Changed after recording: the snapshot no longer vouches for these.
    const std::string touched = made[1];
    qmtest::writeFile(modules() + "/" + touched, "changed");
    const std::string renamedOver = made[2];
    std::filesystem::rename(qmtest::fsPath(modules() + "/" + made[4]),
                            qmtest::fsPath(modules() + "/" + renamedOver));
    const std::vector<std::string> listed = qmsys::findFiles(modules(), kPattern);
    ASSERT_EQ(listed.size(), made.size() - 1);

    const struct {
        const char* what;
        std::optional<SnapshotScope> scope;
        bool recorded;  // a snapshot of scope was saved
    } runs[] = {{"recorded", scope(), true},
                {"nothing recorded", scope("never recorded"), false},
                {"no snapshot kept", std::nullopt, false}};
    for (const auto& run : runs) {
        CatalogueScan scan(modules(), run.scope);
        ScanListing listing(scan, kPattern, nullptr);
        ASSERT_EQ(std::vector<std::string>(listing.names().begin(), listing.names().end()), listed)
            << run.what;
        EXPECT_EQ(scan.previous.size(), run.recorded ? recorded : 0u) << run.what;
        for (std::size_t i = 0; i < listed.size(); ++i) {
            const std::string& name = listed[i];
            SCOPED_TRACE(std::string(run.what) + " " + name);
            Identity expected;
            const bool exists = qmsys::identifyFile(modules() + "/" + name, expected);
            Identity identity;
            const bool identified = listing.identify(i, identity);
            // A scan without a snapshot has no use for identities and stats nothing.
            ASSERT_EQ(identified, exists && run.scope.has_value());
            if (identified) {
                EXPECT_EQ(identity, expected);
            }
            const bool vouched = run.recorded && exists && name != touched && name != renamedOver;
            const std::optional<std::string_view> stored =
                identified ? scan.previous.recorded(name, identity) : std::nullopt;
            ASSERT_EQ(stored.has_value(), vouched);
            if (identified) {
                EXPECT_EQ(listing.recorded(i, identity), stored);
            }
            if (vouched) {
                qm::DefinitionOutcome outcome;
                ASSERT_TRUE(qm::SnapshotView::decode(*stored, outcome));
                EXPECT_TRUE(outcome.accepted);
                EXPECT_EQ(outcome.record.GetKey(), name);
            }
        }
    }
}

// A folder that cannot be listed has no names, whether or not it has a snapshot.
TEST(ScanListingMissingFolder, ListsNothing) {
    qmtest::TempDir root;
    for (const bool snapshot : {true, false}) {
        CatalogueScan scan(root.path() + "/missing",
                           snapshot ? std::optional(SnapshotScope{}) : std::nullopt);
        ScanListing listing(scan, "*.xml", nullptr);
        EXPECT_TRUE(listing.names().empty());
        EXPECT_EQ(scan.previous.size(), 0u);
    }
}

}  // namespace
