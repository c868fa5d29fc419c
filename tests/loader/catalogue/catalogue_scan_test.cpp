// The catalogue scan over a definitions folder: which files are read, repeated neighbours,
// order, the error text handed to the caller and the registry keys left behind.
#include "catalogue/catalogue.h"

#include <gtest/gtest.h>
#include <qmreg/registry.h>
#include <qmsys/files.h>
#include <qmtest/files.h>
#include <algorithm>

#include "catalogue/com_error.h"
#include "catalogue_fixture.h"
#include "environment/diagnostic_log.h"
#include "environment/registry_layout.h"

namespace {

using qm::ModuleList;
using qmtest::ApplicationElement;
using qmtest::DefinitionDoc;

DefinitionDoc module(const std::string& key, const std::string& name, int minor = 0) {
    DefinitionDoc doc;
    doc.keyname = key;
    doc.moduleName = name;
    doc.minor = std::to_string(minor);
    return doc;
}

DefinitionDoc withComError(const std::string& key) {
    DefinitionDoc doc = module(key, key);
    doc.applications = std::vector<ApplicationElement>{{"app", "", "", "", std::nullopt}};
    return doc;
}

std::vector<std::string> keysOf(const ModuleList& list) {
    std::vector<std::string> keys;
    for (const qm::ModuleRecord& record : list) {
        keys.push_back(record.GetKey());
    }
    return keys;
}

class CatalogueScanTest : public qmtest::CatalogueFixture {
protected:
    bool scan(ModuleList& list, std::string& errorText, const std::string& config = "Default",
              qm::DiagnosticLog* log = nullptr) {
        return qm::LoadCatalogue(qm::MakeCatalogueContext(config, "enu", log), modules(), "xml",
                                 list, errorText);
    }
};

TEST_F(CatalogueScanTest, ReadsTheConfigurationsFilesIgnoringLetterCase) {
    writeDefinition("Road.DEFAULT.XML", module("UPPER", "Upper"));
    writeDefinition("Road.default.xml", module("LOWER", "Lower"));
    writeDefinition("Road.xml", module("PLAIN", "Plain"));
    writeDefinition("Road.other.xml", module("OTHER", "Other"));
    writeDefinition("Road.default.xml.bak", module("BACKUP", "Backup"));
    writeDefinition("default.xml", module("BARE", "Bare"));
    ModuleList list;
    std::string errorText;
    ASSERT_TRUE(scan(list, errorText));
    EXPECT_EQ(keysOf(list), (std::vector<std::string>{"LOWER", "UPPER"}));

    ModuleList other;
    ASSERT_TRUE(scan(other, errorText, "OTHER"));
    EXPECT_EQ(keysOf(other), (std::vector<std::string>{"OTHER"}));
}

TEST_F(CatalogueScanTest, RepeatedKeysCollapseOnlyWhenNeighbours) {
    // Files are read in name order; each entry is (file, key, minor version, accepted).
    struct File {
        const char* name;
        const char* key;
        int minor;
        bool valid;
    };
    const struct {
        const char* what;
        std::vector<File> files;
        std::vector<std::pair<std::string, int>> expected;  // (key, minor) in result order
    } cases[] = {
        {"two in a row",
         {{"a.default.xml", "K", 1, true}, {"b.default.xml", "K", 2, true}},
         {{"K", 1}}},
        {"a rejected file between",
         {{"a.default.xml", "K", 1, true},
          {"b.default.xml", "K", 2, false},
          {"c.default.xml", "K", 3, true}},
         {{"K", 1}}},
        {"another key between",
         {{"a.default.xml", "K", 1, true},
          {"b.default.xml", "L", 2, true},
          {"c.default.xml", "K", 3, true}},
         {{"K", 1}, {"K", 3}, {"L", 2}}},
        {"keys compare case-sensitively",
         {{"a.default.xml", "K", 1, true}, {"b.default.xml", "k", 2, true}},
         {{"K", 1}, {"k", 2}}},
    };
    for (const auto& c : cases) {
        for (const std::string& f : qmsys::findFiles(modules(), "*.default.xml")) {
            std::remove((modules() + "/" + f).c_str());
        }
        for (const File& f : c.files) {
            if (f.valid) {
                writeDefinition(f.name, module(f.key, "Same name", f.minor));
            } else {
                writeRaw(f.name, "<QM_Module><Keyname>" + std::string(f.key) + "</Keyname>");
            }
        }
        ModuleList list;
        std::string errorText;
        scan(list, errorText);
        std::vector<std::pair<std::string, int>> got;
        for (const qm::ModuleRecord& r : list) {
            got.emplace_back(r.GetKey(), r.GetVersionMinor());
        }
        std::sort(got.begin(), got.end());  // equal display names: the sort order is free
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

TEST_F(CatalogueScanTest, SortsByDisplayNameInUtf16CodeUnitOrder) {
    const std::vector<std::string> names = {
        "Zone",
        "road",
        "Roads",
        "Road",
        "\xC3\x84pfel",      // U+00C4
        "\xEF\xBD\x9A",      // U+FF5A, sorts after the supplementary character
        "\xF0\x9D\x94\xB8",  // U+1D538, a surrogate pair in UTF-16
    };
    for (std::size_t i = 0; i < names.size(); ++i) {
        writeDefinition("m" + std::to_string(i) + ".default.xml",
                        module("K" + std::to_string(i), names[i]));
    }
    ModuleList list;
    std::string errorText;
    ASSERT_TRUE(scan(list, errorText));
    std::vector<std::string> got;
    for (const qm::ModuleRecord& r : list) {
        got.push_back(r.GetDisplayName());
    }
    EXPECT_EQ(got, (std::vector<std::string>{"Road", "Roads", "Zone", "road", "\xC3\x84pfel",
                                             "\xF0\x9D\x94\xB8", "\xEF\xBD\x9A"}));
}

TEST_F(CatalogueScanTest, FirstComErrorTextReachesTheCallerOnlyWhileItsTextIsEmpty) {
    writeDefinition("a.default.xml", withComError("A"));
    writeDefinition("b.default.xml", module("B", "Good"));
    writeDefinition("c.default.xml", withComError("C"));
    {
        ModuleList list;
        std::string errorText;
        EXPECT_TRUE(scan(list, errorText));
        EXPECT_EQ(keysOf(list), (std::vector<std::string>{"B"}));
        EXPECT_EQ(errorText, qm::ComErrorText(qm::kComErrorTypeMismatch));
    }
    {
        ModuleList list;
        std::string errorText = "set by the caller";
        scan(list, errorText);
        EXPECT_EQ(errorText, "set by the caller");
    }
}

TEST_F(CatalogueScanTest, UnusableSchemaRejectsEveryFile) {
    writeDefinition("a.default.xml", module("A", "A"));
    writeDefinition("b.default.xml", module("B", "B"));
    const struct {
        std::optional<std::string> schema;
        std::string errorText;
    } cases[] = {
        {std::nullopt, ""},
        {"<xs:schema", ""},
        {"<notASchema/>", qm::ComErrorText(qm::kComErrorFail)},
    };
    for (const auto& c : cases) {
        std::remove(schema().c_str());
        if (c.schema) {
            qmtest::writeFile(schema(), *c.schema);
        }
        ModuleList list;
        std::string errorText;
        EXPECT_FALSE(scan(list, errorText));
        EXPECT_TRUE(list.empty());
        EXPECT_EQ(errorText, c.errorText);
    }
}

TEST_F(CatalogueScanTest, NoDefinitionsGiveAnEmptyCatalogueWithoutText) {
    ModuleList list;
    std::string errorText;
    EXPECT_FALSE(scan(list, errorText));
    EXPECT_FALSE(qm::LoadCatalogue(qm::MakeCatalogueContext("Default", "enu"),
                                   installation() + "/NoSuchFolder", "xml", list, errorText));
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(errorText.empty());
}

TEST_F(CatalogueScanTest, ReadingLeavesEveryModuleKeyCommitted) {
    writeDefinition("a.default.xml", module("QM_A", "A"));
    writeDefinition("b.default.xml", withComError("QM_B"));  // the key is made before the error
    writeRaw("c.default.xml", "<QM_Module/>");
    ModuleList list;
    std::string errorText;
    scan(list, errorText);
    // Another connection sees the keys: the scan's transaction was committed.
    qmreg::Hive hive(qmreg::hiveFile(qmreg::HiveId::CurrentUser), true);
    EXPECT_EQ(hive.subkeys(qm::registry_layout::modulesKey()),
              (std::vector<std::string>{"QM_A", "QM_B"}));
    EXPECT_TRUE(hive.values(qm::registry_layout::moduleKey("QM_A")).empty());
}

TEST_F(CatalogueScanTest, AppendsToTheCallersListAndSortsTheWhole) {
    writeDefinition("a.default.xml", module("QM_A", "Alpha"));
    ModuleList list(1);
    list[0].SetKey("QM_Z");
    list[0].SetDisplayName("Zulu");
    list[0].StartModule();
    std::string errorText;
    ASSERT_TRUE(scan(list, errorText));
    ASSERT_EQ(keysOf(list), (std::vector<std::string>{"QM_A", "QM_Z"}));
    EXPECT_EQ(list[1].GetStarted(), 1);
    EXPECT_EQ(list[0].GetStarted(), 0);
}

TEST(CatalogueContext, ValuesAreLowerCasedAndLimited) {
    const qm::CatalogueContext context = qm::MakeCatalogueContext("Default", "ENU");
    EXPECT_EQ(context.config, "default");
    EXPECT_EQ(context.language, "enu");
    EXPECT_EQ(qm::MakeCatalogueContext(std::string(600, 'R'), "").config, std::string(499, 'r'));
    // 498 ASCII characters and one character that needs two UTF-16 units do not fit in 499.
    const std::string edge = std::string(498, 'a') + "\xF0\x9D\x94\xB8";
    EXPECT_EQ(qm::MakeCatalogueContext(edge, "").config, std::string(498, 'a'));
}

TEST_F(CatalogueScanTest, TheLogNamesEveryRejectedFileWithItsReason) {
    writeDefinition("good.default.xml", module("QM_GOOD", "Good"));
    writeRaw("broken.default.xml", "<QM_Module>");
    writeDefinition("comerror.default.xml", withComError("QM_BAD"));
    const std::string logFile = installation() + "/diagnostic.log";
    {
        qm::DiagnosticLog log(logFile);
        ModuleList list;
        std::string errorText;
        scan(list, errorText, "Default", &log);
    }
    const std::string text = qmtest::readFile(logFile);
    EXPECT_NE(text.find("broken.default.xml:1: rejected (not well-formed)"), std::string::npos)
        << text;
    EXPECT_NE(text.find("comerror.default.xml"), std::string::npos) << text;
    EXPECT_NE(text.find("Code = 80020005"), std::string::npos) << text;
    EXPECT_EQ(text.find("good.default.xml"), std::string::npos) << text;
}

}  // namespace
