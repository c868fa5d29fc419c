// The catalogue scan over a definitions folder: which files are read, repeated neighbours,
// order, the error text handed to the caller and the registry keys left behind. The log of
// rejected files is checked with the bad input.
#include "catalogue/catalogue.h"

#include <gtest/gtest.h>
#include <qmreg/registry.h>
#include <qmsys/files.h>
#include <qmtest/files.h>
#include <qmtest/module_settings.h>

#include <algorithm>
#include <tuple>

#include "catalogue/com_error.h"
#include "catalogue/module_settings.h"
#include "catalogue/startup_pass.h"
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
    bool scan(ModuleList& list, std::string& errorText, const std::string& config = "Default") {
        return qm::LoadCatalogue(qm::MakeCatalogueContext(config, "enu"), modules(), "xml", list,
                                 errorText);
    }
};

TEST_F(CatalogueScanTest, ReadsTheConfigurationsFilesIgnoringLetterCase) {
    writeDefinition("Road2.DEFAULT.XML", module("UPPER", "Upper"));  // one name on Windows
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

// Every letter of a configuration name folds as NTFS folds file names, not only ASCII ones.
TEST_F(CatalogueScanTest, ReadsTheConfigurationsFilesFoldingEveryLetter) {
    writeDefinition("QM_Base.\xC3\xB6sterreich.xml", module("QM_BASE", "Base"));
    writeDefinition("Roads.\xC3\x96STERREICH.xml", module("QM_ROADS", "Roads"));
    writeDefinition("Survey.\xC3\x96sterreich.xml", module("QM_SURVEY", "Survey"));
    writeDefinition("Rail.osterreich.xml", module("QM_RAIL", "Rail"));
    for (const bool snapshot : {false, true, true}) {  // recorded, then taken from the snapshot
        qm::CatalogueContext context = qm::MakeCatalogueContext("\xC3\x96sterreich", "enu");
        context.useSnapshot = snapshot;
        ModuleList list;
        std::string errorText;
        ASSERT_TRUE(qm::LoadCatalogue(context, modules(), "xml", list, errorText));
        EXPECT_EQ(keysOf(list), (std::vector<std::string>{"QM_BASE", "QM_ROADS", "QM_SURVEY"}))
            << "snapshot " << snapshot;
    }
}

TEST_F(CatalogueScanTest, RepeatedKeysCollapseOnlyWhenNeighbours) {
    // The files are read in name order (a, b, c, ...) and the n-th has minor version n; a key
    // written "-K" stands for a rejected file with key K.
    const struct {
        const char* what;
        std::vector<std::string> keys;
        std::vector<std::pair<std::string, int>> expected;  // (key, minor)
    } cases[] = {
        {"two in a row", {"K", "K"}, {{"K", 1}}},
        {"a rejected file between", {"K", "-K", "K"}, {{"K", 1}}},
        {"another key between", {"K", "L", "K"}, {{"K", 1}, {"K", 3}, {"L", 2}}},
        {"keys compare case-sensitively", {"K", "k"}, {{"K", 1}, {"k", 2}}},
    };
    for (const auto& c : cases) {
        for (const std::string& f : qmsys::findFiles(modules(), "*.default.xml")) {
            std::remove((modules() + "/" + f).c_str());
        }
        for (std::size_t i = 0; i < c.keys.size(); ++i) {
            const std::string file = std::string(1, char('a' + i)) + ".default.xml";
            if (c.keys[i][0] == '-') {
                writeRaw(file, "<QM_Module><Keyname>" + c.keys[i].substr(1) + "</Keyname>");
            } else {
                writeDefinition(file, module(c.keys[i], "Same name", int(i) + 1));
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

// With the settings asked for, each record reads them in the visit that reads its version
// override, as the settings read after the scan would; a key too long for the settings is
// logged once for each record kept, in list order, not for a repeated neighbour dropped.
TEST_F(CatalogueScanTest, SettingsReadWithTheOverrideMatchTheSettingsReadAfter) {
    const std::string longKey(300, 'L');
    qmtest::storeModuleSettings("QM_ON", {{"AutoStart", "True"}, {"DemandLoad", "True"}});
    qmtest::storeModuleSettings("QM_OFF", {{"Activated", "False"}, {"AutoStart", "True"}});
#if !defined(_WIN32)  // the Windows registry refuses a key name that long: nothing to misread
    qmtest::storeModuleSettings(longKey, {{"AutoStart", "True"}});
#endif
    writeDefinition("a.default.xml", module("QM_ON", "On"));
    writeDefinition("b.default.xml", module("QM_OFF", "Off"));
    writeDefinition("c.default.xml", module(longKey, "Long"));
    writeDefinition("d.default.xml", module(longKey, "Long again"));  // a neighbour, dropped
    writeDefinition("e.default.xml", module("QM_NONE", "None"));
    const auto settingsOf = [](const ModuleList& list) {
        std::vector<std::tuple<std::string, bool, bool, bool>> out;
        for (const qm::ModuleRecord& r : list) {
            out.emplace_back(r.GetKey(), r.GetActivated(), r.GetAutoStart(), r.GetDemandLoad());
        }
        return out;
    };
    std::vector<std::tuple<std::string, bool, bool, bool>> expected;
    std::string logged[2];
    for (const bool together : {false, true}) {
        const std::string logFile = installation() + "/scan" + std::to_string(together) + ".log";
        qm::DiagnosticLog log(logFile);
        qm::CatalogueContext context = qm::MakeCatalogueContext("Default", "enu", &log);
        context.readSettings = together;
        ModuleList list;
        std::string errorText;
        {
            qm::StartupPass pass(&log, nullptr);
            ASSERT_TRUE(qm::LoadCatalogue(pass, context, modules(), "xml", list, errorText));
            if (!together) {
                qm::ReadModuleSettings(list, &log);
            }
            pass.endReads();
        }
        if (!together) {
            expected = settingsOf(list);
        } else {
            EXPECT_EQ(settingsOf(list), expected);
        }
        const std::string text = qmtest::readFile(logFile);
        const std::string line = "module key too long, settings not read: " + longKey;
        EXPECT_NE(text.find(line), std::string::npos) << together;
        EXPECT_EQ(text.find(line), text.rfind(line)) << together;
    }
    ASSERT_EQ(expected.size(), 4u);
    EXPECT_EQ(std::get<2>(expected[3]), true) << "QM_ON starts";
    EXPECT_TRUE(qmreg::Hive::forThread(qmreg::HiveId::CurrentUser)
                    .keyExists(qm::registry_layout::moduleKey("QM_NONE")))
        << "missing keys are still created";
}

TEST_F(CatalogueScanTest, EveryKeptRecordArrivesWholeInItsSortedPlace) {
    // File n (a, b, c, ...) has key keys[n], display name names[n] and minor version n + 1;
    // the orders make several cycles of moves, with dropped repeats inside and outside them.
    const struct {
        const char* what;
        std::vector<std::string> keys;
        std::vector<std::string> names;
        std::vector<std::tuple<std::string, std::string, int>> expected;  // (name, key, minor)
    } cases[] = {
        {"two swaps",
         {"1", "2", "3", "4"},
         {"b", "a", "d", "c"},
         {{"a", "2", 2}, {"b", "1", 1}, {"c", "4", 4}, {"d", "3", 3}}},
        {"one unmoved, a cycle of three",
         {"1", "2", "3", "4"},
         {"a", "c", "d", "b"},
         {{"a", "1", 1}, {"b", "4", 4}, {"c", "2", 2}, {"d", "3", 3}}},
        {"reversed, a repeat first",
         {"A", "A", "B", "C", "D", "E"},
         {"e", "x", "d", "b", "c", "a"},
         {{"a", "E", 6}, {"b", "C", 4}, {"c", "D", 5}, {"d", "B", 3}, {"e", "A", 1}}},
        {"a repeat inside a cycle",
         {"A", "B", "B", "C"},
         {"c", "b", "y", "a"},
         {{"a", "C", 4}, {"b", "B", 2}, {"c", "A", 1}}},
    };
    for (const auto& c : cases) {
        for (const std::string& f : qmsys::findFiles(modules(), "*.default.xml")) {
            std::remove((modules() + "/" + f).c_str());
        }
        for (std::size_t i = 0; i < c.keys.size(); ++i) {
            writeDefinition(std::string(1, char('a' + i)) + ".default.xml",
                            module(c.keys[i], c.names[i], int(i) + 1));
        }
        ModuleList list;
        std::string errorText;
        scan(list, errorText);
        std::vector<std::tuple<std::string, std::string, int>> got;
        for (const qm::ModuleRecord& r : list) {
            got.emplace_back(r.GetDisplayName(), r.GetKey(), r.GetVersionMinor());
        }
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
        // Alike in their first 16 bytes, or a prefix of another there.
        "Quillmont Roads module 2",
        "Quillmont Roads module 10",
        "Quillmont Roads-",
        "Quillmont Roads",
        "Quillmont Zones",  // alike in their first 8 bytes only
        "Quillmont Avenues",
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
    EXPECT_EQ(
        got, (std::vector<std::string>{
                 "Quillmont Avenues", "Quillmont Roads", "Quillmont Roads module 10",
                 "Quillmont Roads module 2", "Quillmont Roads-", "Quillmont Zones", "Road", "Roads",
                 "Zone", "road", "\xC3\x84pfel", "\xF0\x9D\x94\xB8", "\xEF\xBD\x9A"}));
}

TEST_F(CatalogueScanTest, FirstComErrorTextWinsAndEveryModuleKeyIsCommitted) {
    writeDefinition("a.default.xml", withComError("A"));
    writeDefinition("b.default.xml", module("B", "Good"));
    writeDefinition("c.default.xml", withComError("C"));
    writeRaw("d.default.xml", "<QM_Module/>");
    {
        ModuleList list;
        std::string errorText;
        EXPECT_TRUE(scan(list, errorText));
        EXPECT_EQ(keysOf(list), (std::vector<std::string>{"B"}));
        EXPECT_EQ(errorText, qm::ComErrorText(qm::kComErrorTypeMismatch));
    }
    // Another connection sees the keys: the scan's transaction was committed. A definition
    // with a COM error gets its key before the error.
    qmreg::Hive hive(qmreg::hiveFile(qmreg::HiveId::CurrentUser), true);
    EXPECT_EQ(hive.subkeys(qm::registry_layout::modulesKey()),
              (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_TRUE(hive.values(qm::registry_layout::moduleKey("B")).empty());

    ModuleList list;
    std::string errorText = "set by the caller";
    scan(list, errorText);
    EXPECT_EQ(errorText, "set by the caller");
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

// Configuration and language are lower-cased and cut to 499 UTF-16 units, never inside a
// character: a character outside the BMP takes two units.
TEST(CatalogueContextTest, ValuesAreLowerCasedAndCutTo499Units) {
    const std::string smiley = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units
    const struct {
        std::string given;
        std::string expected;
    } cases[] = {
        {"DEFAULT", "default"},
        {std::string(499, 'A'), std::string(499, 'a')},
        {std::string(500, 'A'), std::string(499, 'a')},
        {std::string(497, 'x') + smiley + "y", std::string(497, 'x') + smiley},
        {std::string(498, 'x') + smiley, std::string(498, 'x')},
        {std::string(498, 'x') + "\xC3\x84z", std::string(498, 'x') + "\xC3\x84"},
    };
    for (const auto& c : cases) {
        const qm::CatalogueContext context = qm::MakeCatalogueContext(c.given, c.given);
        EXPECT_EQ(context.config, c.expected) << c.given.size();
        EXPECT_EQ(context.language, c.expected) << c.given.size();
    }
}

}  // namespace
