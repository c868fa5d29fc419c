// Folder identities answer exactly what a stat of each file's path answers, whichever of the
// scan and its helper thread stats a file, in whatever order the scan asks.
#include "catalogue/folder_identities.h"

#include <sys/stat.h>

#include <gtest/gtest.h>
#include <qmtest/files.h>
#include <qmtest/temp_dir.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

namespace {

using qm::CatalogueSnapshot;
using qm::FolderIdentities;

class FolderIdentitiesTest : public ::testing::TestWithParam<std::size_t> {
protected:
    // count names: files of different sizes, with every seventh name missing and one folder.
    std::vector<std::string> makeNames(std::size_t count) const {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < count; ++i) {
            const std::string name = "def" + std::to_string(i) + ".default.xml";
            if (i % 7 != 3) {
                qmtest::writeFile(folder_.path() + "/" + name, std::string(i % 50, 'x'));
            }
            names.push_back(name);
        }
        ::mkdir((folder_.path() + "/" + names.back()).c_str(), 0755);
        return names;
    }

    qmtest::TempDir folder_;
};

TEST_P(FolderIdentitiesTest, AnswersAsAStatOfThePathInAnyOrder) {
    const std::vector<std::string> names = makeNames(GetParam());
    std::vector<std::size_t> forward(names.size());
    std::iota(forward.begin(), forward.end(), 0);
    std::vector<std::size_t> backward(forward.rbegin(), forward.rend());
    std::vector<std::size_t> twice;
    for (const std::size_t i : forward) {
        twice.push_back(i);
        twice.push_back(i);
    }
    const struct {
        const char* what;
        const std::vector<std::size_t>& order;
    } orders[] = {{"forward", forward}, {"backward", backward}, {"each twice", twice}};
    for (const auto& order : orders) {
        FolderIdentities identities(folder_.path(), names);
        for (const std::size_t i : order.order) {
            CatalogueSnapshot::Identity expected;
            const bool exists =
                CatalogueSnapshot::identify(folder_.path() + "/" + names[i], expected);
            CatalogueSnapshot::Identity got;
            ASSERT_EQ(identities.identify(i, got), exists) << order.what << " " << names[i];
            if (exists) {
                EXPECT_EQ(got, expected) << order.what << " " << names[i];
            }
        }
    }
}

// Fewer files than the helper threshold, and many more.
INSTANTIATE_TEST_SUITE_P(Sizes, FolderIdentitiesTest,
                         ::testing::Values(std::size_t{5}, FolderIdentities::kHelperThreshold * 4),
                         [](const auto& testCase) { return "n" + std::to_string(testCase.param); });

// A folder that cannot be opened leaves every file unidentified, with or without a helper.
TEST(FolderIdentitiesMissingFolder, IdentifiesNothing) {
    qmtest::TempDir root;
    const std::vector<std::string> names(FolderIdentities::kHelperThreshold + 1, "x.xml");
    FolderIdentities identities(root.path() + "/missing", names);
    CatalogueSnapshot::Identity id;
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_FALSE(identities.identify(i, id));
    }
}

}  // namespace
