// A scan that works ahead learns of each file exactly what it would learn by itself: the
// identity a stat of the path gives, and the recorded outcome only where the snapshot vouches
// for that identity, whichever of the scan and its helper thread looked, in any order.
#include "catalogue/scan_ahead.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <qmtest/files.h>
#include <qmtest/temp_dir.h>

#include <numeric>
#include <string>
#include <vector>

#include "catalogue_fixture.h"

namespace {

using qm::CatalogueSnapshot;
using qm::ScanAhead;

class ScanAheadTest : public qmtest::CatalogueFixture,
                      public ::testing::WithParamInterface<std::size_t> {
protected:
    // count definitions of different sizes, every seventh name missing, the last one a
    // folder (which a snapshot may vouch for as well).
    std::vector<std::string> makeNames(std::size_t count) const {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < count; ++i) {
            names.push_back("def" + std::to_string(1000 + i) + ".default.xml");
            if (i % 7 != 3 && i + 1 < count) {
                writeRaw(names.back(), std::string(i % 50, 'x'));
            }
        }
        ::mkdir((modules() + "/" + names.back()).c_str(), 0755);
        return names;
    }

    static CatalogueSnapshot::Scope scope() {
        CatalogueSnapshot::Scope s;
        s.config = "default";
        s.folder = "scan-ahead-test";
        return s;
    }

    // A snapshot recording, for every name that can be stat'ed, a record whose key is the
    // name; saved and loaded again as a scan would find it.
    CatalogueSnapshot record(const std::vector<std::string>& names) const {
        waitPastFileTimes(names);
        CatalogueSnapshot next(scope());
        next.startScan();
        for (const std::string& name : names) {
            CatalogueSnapshot::Identity id;
            if (CatalogueSnapshot::identify(modules() + "/" + name, id)) {
                CatalogueSnapshot::Outcome outcome;
                outcome.accepted = true;
                outcome.record.SetKey(name);
                next.put(name, id, outcome);
            }
        }
        next.save(nullptr);
        return CatalogueSnapshot::load(scope(), nullptr);
    }
};

TEST_P(ScanAheadTest, LearnsWhatAStatAndTheSnapshotTellInAnyOrder) {
    const std::vector<std::string> names = makeNames(GetParam());
    const CatalogueSnapshot recorded = record(names);
    ASSERT_GT(recorded.size(), names.size() / 2);
    // Changed after recording: the snapshot no longer vouches for these.
    const std::string touched = names[1];
    qmtest::writeFile(modules() + "/" + touched, "changed");
    const std::string renamedOver = names[2];
    ::rename((modules() + "/" + names[4]).c_str(), (modules() + "/" + renamedOver).c_str());

    std::vector<std::size_t> forward(names.size());
    std::iota(forward.begin(), forward.end(), 0);
    const std::vector<std::size_t> backward(forward.rbegin(), forward.rend());
    std::vector<std::size_t> halves;  // the second half first, then the first
    halves.insert(halves.end(), forward.begin() + static_cast<std::ptrdiff_t>(names.size() / 2),
                  forward.end());
    halves.insert(halves.end(), forward.begin(),
                  forward.begin() + static_cast<std::ptrdiff_t>(names.size() / 2));
    const CatalogueSnapshot empty(scope());
    const struct {
        const char* what;
        const std::vector<std::size_t>& order;
        const CatalogueSnapshot& snapshot;
    } runs[] = {{"forward", forward, recorded},
                {"backward", backward, recorded},
                {"second half first", halves, recorded},
                {"no snapshot", forward, empty}};
    for (const auto& run : runs) {
        ScanAhead ahead(modules(), names, run.snapshot);
        for (const std::size_t i : run.order) {
            const std::string& name = names[i];
            SCOPED_TRACE(std::string(run.what) + " " + name);
            CatalogueSnapshot::Identity expected;
            const bool exists = CatalogueSnapshot::identify(modules() + "/" + name, expected);
            ScanAhead::File file;
            ahead.take(i, file);
            ASSERT_EQ(file.identified, exists);
            if (exists) {
                EXPECT_EQ(file.identity, expected);
            }
            const bool vouched =
                &run.snapshot == &recorded && exists && name != touched && name != renamedOver;
            ASSERT_EQ(file.recorded, vouched);
            if (vouched) {
                EXPECT_TRUE(file.outcome.accepted);
                EXPECT_EQ(file.outcome.record.GetKey(), name);
                EXPECT_FALSE(file.stored.empty());
            } else {
                EXPECT_EQ(file.outcome.record.GetKey(), "");
            }
        }
    }
}

// Fewer files than the helper threshold, and many more.
INSTANTIATE_TEST_SUITE_P(Sizes, ScanAheadTest,
                         ::testing::Values(std::size_t{12}, ScanAhead::kHelperThreshold * 2),
                         [](const auto& testCase) { return "n" + std::to_string(testCase.param); });

// A folder that cannot be opened leaves every file unidentified, with or without a helper.
TEST(ScanAheadMissingFolder, IdentifiesNothing) {
    qmtest::TempDir root;
    const std::vector<std::string> names(ScanAhead::kHelperThreshold + 1, "x.xml");
    const CatalogueSnapshot empty(CatalogueSnapshot::Scope{});
    ScanAhead ahead(root.path() + "/missing", names, empty);
    for (std::size_t i = 0; i < names.size(); ++i) {
        ScanAhead::File file;
        ahead.take(i, file);
        ASSERT_FALSE(file.identified);
        ASSERT_FALSE(file.recorded);
    }
}

}  // namespace
