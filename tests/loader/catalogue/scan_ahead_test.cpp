// A scan that works ahead learns of each file exactly what it would learn by itself: the
// folder's listing, the previous snapshot, and the identity a stat of the path gives, so that
// the snapshot vouches for a recorded outcome only where it should, whichever of the scan and
// its helper thread looked, in any order.
#include "catalogue/scan_ahead.h"

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
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "catalogue_fixture.h"

namespace {

using qm::CatalogueScan;
using qm::ScanAhead;
using qm::SnapshotScope;
using Identity = qmsys::FileIdentity;

class ScanAheadTest : public qmtest::CatalogueFixture,
                      public ::testing::WithParamInterface<std::size_t> {
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

TEST_P(ScanAheadTest, LearnsWhatAStatAndTheSnapshotTellInAnyOrder) {
    const std::vector<std::string> made = makeNames(GetParam());
    const std::size_t recorded = record(made);
    // Changed after recording: the snapshot no longer vouches for these.
    const std::string touched = made[1];
    qmtest::writeFile(modules() + "/" + touched, "changed");
    const std::string renamedOver = made[2];
    std::filesystem::rename(qmtest::fsPath(modules() + "/" + made[4]),
                            qmtest::fsPath(modules() + "/" + renamedOver));
    const std::vector<std::string> listed = qmsys::findFiles(modules(), kPattern);
    ASSERT_EQ(listed.size(), made.size() - 1);

    std::vector<std::size_t> forward(listed.size());
    std::iota(forward.begin(), forward.end(), 0);
    const std::vector<std::size_t> backward(forward.rbegin(), forward.rend());
    std::vector<std::size_t> halves;  // the second half first, then the first
    halves.insert(halves.end(), forward.begin() + static_cast<std::ptrdiff_t>(listed.size() / 2),
                  forward.end());
    halves.insert(halves.end(), forward.begin(),
                  forward.begin() + static_cast<std::ptrdiff_t>(listed.size() / 2));
    const struct {
        const char* what;
        const std::vector<std::size_t>& order;
        std::optional<SnapshotScope> scope;
        bool recorded;  // a snapshot of scope was saved
    } runs[] = {{"forward", forward, scope(), true},
                {"backward", backward, scope(), true},
                {"second half first", halves, scope(), true},
                {"nothing recorded", forward, scope("never recorded"), false},
                {"no snapshot kept", forward, std::nullopt, false}};
    for (const auto& run : runs) {
        CatalogueScan scan(modules(), run.scope);
        ScanAhead ahead(scan, kPattern, nullptr);
        ASSERT_EQ(ahead.names(), listed) << run.what;
        EXPECT_EQ(scan.previous.size(), run.recorded ? recorded : 0u) << run.what;
        for (const std::size_t i : run.order) {
            const std::string& name = listed[i];
            SCOPED_TRACE(std::string(run.what) + " " + name);
            Identity expected;
            const bool exists = qmsys::identifyFile(modules() + "/" + name, expected);
            Identity identity;
            const bool identified = ahead.identify(i, identity);
            // A scan without a snapshot has no use for identities and stats nothing.
            ASSERT_EQ(identified, exists && run.scope.has_value());
            if (identified) {
                EXPECT_EQ(identity, expected);
            }
            const bool vouched = run.recorded && exists && name != touched && name != renamedOver;
            const std::optional<std::string_view> stored =
                identified ? scan.previous.recorded(name, identity) : std::nullopt;
            ASSERT_EQ(stored.has_value(), vouched);
            if (vouched) {
                qm::DefinitionOutcome outcome;
                ASSERT_TRUE(qm::SnapshotView::decode(*stored, outcome));
                EXPECT_TRUE(outcome.accepted);
                EXPECT_EQ(outcome.record.GetKey(), name);
            }
        }
    }
}

// Fewer files than the helper's threshold for working ahead, and more.
INSTANTIATE_TEST_SUITE_P(Sizes, ScanAheadTest,
                         ::testing::Values(std::size_t{12}, ScanAhead::kHelperThreshold * 2),
                         [](const auto& testCase) { return "n" + std::to_string(testCase.param); });

// A folder that cannot be listed has no names, whether or not it has a snapshot.
TEST(ScanAheadMissingFolder, ListsNothing) {
    qmtest::TempDir root;
    for (const bool snapshot : {true, false}) {
        CatalogueScan scan(root.path() + "/missing",
                           snapshot ? std::optional(SnapshotScope{}) : std::nullopt);
        ScanAhead ahead(scan, "*.xml", nullptr);
        EXPECT_TRUE(ahead.names().empty());
        EXPECT_EQ(scan.previous.size(), 0u);
    }
}

}  // namespace
