// qmloader as a user runs it: a separate process over real installations and a private
// registry.
#include <gtest/gtest.h>
#include <qmreg/registry.h>
#include <qmtest/child_process.h>
#include <qmtest/files.h>
#include <qmtest/relocated_user.h>
#include <qmtest/temp_dir.h>

#include <sstream>

#include "environment/registry_layout.h"
#include "mini_json.h"

namespace {

std::string sample() {
    return qmtest::sourceDir() + "/examples/sample";
}
std::string sampleSchema() {
    return sample() + "/Zadod/Modules/QM_Module.xsd";
}
std::string badDir() {
    return qmtest::sourceDir() + "/tests/loader/catalogue/data/bad";
}

qmtest::ProcessResult qmloader(std::vector<std::string> args) {
    args.insert(args.begin(), qmtest::binDir() + "/qmloader");
    return qmtest::runProcess(args);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

class QmloaderTest : public ::testing::Test {
protected:
    qmtest::RelocatedUser user_{sample()};
};

TEST_F(QmloaderTest, ValidateReportsEveryRefusedFileWithLineAndReason) {
    const struct {
        const char* file;
        int line;
        const char* reason;  // a part of the reason
    } cases[] = {
        {"not_well_formed.xml", 5, "Opening and ending tag mismatch"},
        {"schema_invalid.xml", 6, "Element 'Colour': This element is not expected"},
        {"missing_keyname.xml", 3, "Element 'Version': This element is not expected"},
        {"missing_attribute.xml", 7,
         "Application element lacks attribute \"modal\" (Error parsing XML file. Is the MSXML "
         "reader installed? COM Error Code = 80020005)"},
        {"wrong_root.xml", 2, "No matching global declaration"},
        {"namespaced_root.xml", 2, "No matching global declaration"},
        {"empty.xml", 1, "Document is empty"},
        {"entity_bomb.xml", 2, "document type declarations are not allowed"},
        {"external_entity.xml", 2, "document type declarations are not allowed"},
        {"external_dtd.xml", 2, "document type declarations are not allowed"},
        {"invalid_utf8.xml", 3, "Input is not proper UTF-8"},
        {"nul_byte.xml", 3, "Char 0x0 out of allowed range"},
    };
    std::vector<std::string> args = {"validate", "--schema", sampleSchema()};
    for (const auto& c : cases)
        args.push_back(badDir() + "/" + c.file);
    args.push_back(sample() + "/Zadod/Modules/Roads.default.xml");
    args.push_back(badDir() + "/../utf16_bom.xml");

    const qmtest::ProcessResult result = qmloader(args);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const std::vector<std::string> out = lines(result.out);
    ASSERT_EQ(out.size(), std::size(cases)) << result.out;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string prefix =
            badDir() + "/" + cases[i].file + ":" + std::to_string(cases[i].line) + ": ";
        EXPECT_EQ(out[i].rfind(prefix, 0), 0u) << out[i];
        EXPECT_NE(out[i].find(cases[i].reason), std::string::npos) << out[i];
    }
    EXPECT_NE(result.err.find("2 of 14 module definitions accepted"), std::string::npos)
        << result.err;
}

TEST_F(QmloaderTest, ValidateAcceptsTheSampleInstallationInEachConfiguration) {
    for (const char* config : {"Default", "Rail"}) {
        const qmtest::ProcessResult result = qmloader({"--config", config, "validate"});
        EXPECT_EQ(result.exitCode, 0) << config << "\n" << result.out << result.err;
        EXPECT_EQ(result.out, "") << config;
    }
    // Checking files leaves the registry alone.
    qmreg::Hive hive(qmreg::hiveFile(qmreg::HiveId::CurrentUser), true);
    EXPECT_FALSE(hive.keyExists(qm::registry_layout::modulesKey()));
}

TEST_F(QmloaderTest, ValidateFailsWithoutDefinitionsAndOnUsageErrors) {
    EXPECT_EQ(qmloader({"--config", "Nothing", "validate"}).exitCode, 1);
    EXPECT_EQ(qmloader({}).exitCode, 2);
    EXPECT_EQ(qmloader({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(qmloader({"validate", "--verbose"}).exitCode, 2);
    EXPECT_EQ(qmloader({"list", "--xml"}).exitCode, 2);
}

TEST_F(QmloaderTest, ValidateWithAnUnusableSchemaRefusesEveryFile) {
    qmtest::TempDir dir;
    qmtest::writeFile(dir / "broken.xsd", "<notASchema/>");
    const std::string good = sample() + "/Zadod/Modules/Roads.default.xml";
    const qmtest::ProcessResult result =
        qmloader({"validate", "--schema", dir / "broken.xsd", good, good});
    EXPECT_EQ(result.exitCode, 1);
    const std::vector<std::string> out = lines(result.out);
    ASSERT_EQ(out.size(), 2u) << result.out;
    EXPECT_NE(out[0].find("Code = 80004005"), std::string::npos) << out[0];
}

TEST_F(QmloaderTest, ListJsonShowsTheCatalogueWithTheUsersSettings) {
    {
        qmreg::Hive hive(qmreg::hiveFile(qmreg::HiveId::CurrentUser));
        const std::string survey = qm::registry_layout::moduleKey("QM_SURVEY");
        ASSERT_TRUE(hive.createKey(survey));
        hive.setValue(survey, qmreg::Value::string("Activated", "False"));
        const std::string roads = qm::registry_layout::moduleKey("QM_ROADS");
        ASSERT_TRUE(hive.createKey(roads));
        hive.setValue(roads, qmreg::Value::string("AutoStart", "True"));
        hive.setValue(roads, qmreg::Value::dword("OverrideVersionMinor", 99));
    }
    const qmtest::ProcessResult result = qmloader({"list", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::optional<qmtest::JsonValue> json = qmtest::ParseJson(result.out);
    ASSERT_TRUE(json) << result.out;

    std::vector<std::string> names;
    for (const qmtest::JsonValue& m : json->array())
        names.push_back(m["name"].str());
    EXPECT_EQ(names, (std::vector<std::string>{"Drainage Networks", "Quillmont Base", "Road Design",
                                               "Survey Data", "Terrain Modelling"}));
    const qmtest::JsonValue& drainage = (*json)[0];
    EXPECT_EQ(drainage.keys(),
              (std::vector<std::string>{"key", "version_major", "version_minor", "name", "menus",
                                        "applications", "activated", "autostart", "demandload"}));
    const qmtest::JsonValue& roads = (*json)[2];
    EXPECT_EQ(roads["key"].str(), "QM_ROADS");
    EXPECT_EQ(roads["version_major"].num(), 22);
    EXPECT_EQ(roads["version_minor"].num(), 99);
    EXPECT_EQ(roads["menus"][0]["name"].str(), "KRQM_Roads_enu");
    EXPECT_EQ(roads["menus"][0]["folder"].str(), "Roads\\Menus");
    const qmtest::JsonValue& arx = roads["applications"][0];
    EXPECT_EQ(arx.keys(),
              (std::vector<std::string>{"path", "arguments", "type", "command", "modal"}));
    EXPECT_EQ(arx["path"].str(), sample() + "/Bin/krqm_roads.arx");
    EXPECT_EQ(arx["type"].str(), "arx");
    EXPECT_EQ(arx["command"].str(), "KRQM_ROADS_INIT");
    EXPECT_FALSE(arx["modal"].boolean());
    EXPECT_TRUE(roads["autostart"].boolean());
    EXPECT_TRUE(roads["activated"].boolean());

    const qmtest::JsonValue& survey = (*json)[3];
    EXPECT_FALSE(survey["activated"].boolean());
    EXPECT_EQ(survey["applications"][0]["path"].str(), sample() + "/Survey/Bin/krqm_survey_sync");
    EXPECT_EQ(survey["applications"][0]["arguments"].str(), "--configuration default");

    // Listing wrote nothing but the module keys that reading creates.
    qmreg::Hive hive(qmreg::hiveFile(qmreg::HiveId::CurrentUser), true);
    EXPECT_EQ(hive.subkeys(qm::registry_layout::modulesKey()),
              (std::vector<std::string>{"QM_BASE", "QM_DRAINAGE", "QM_ROADS", "QM_SURVEY",
                                        "QM_TERRAIN"}));
    for (const char* key : {"QM_BASE", "QM_DRAINAGE", "QM_TERRAIN"}) {
        EXPECT_TRUE(hive.values(qm::registry_layout::moduleKey(key)).empty()) << key;
    }
    EXPECT_EQ(hive.values(qm::registry_layout::moduleKey("QM_SURVEY")).size(), 1u);
}

TEST_F(QmloaderTest, ListShowsTheCatalogueErrorTextOnStandardError) {
    qmtest::TempDir installation;
    qmtest::RelocatedUser user(installation.path());
    const std::string modules = installation / "Zadod/Modules";
    qmtest::writeFile(modules + "/QM_Module.xsd", qmtest::readFile(sampleSchema()));
    qmtest::writeFile(modules + "/a.default.xml",
                      qmtest::readFile(badDir() + "/missing_attribute.xml"));
    qmtest::writeFile(modules + "/b.default.xml",
                      qmtest::readFile(sample() + "/Zadod/Modules/Terrain.default.xml"));
    const qmtest::ProcessResult result = qmloader({"list"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.err.find("Error parsing XML file.\nIs the MSXML reader installed?\n\nCOM "
                              "Error\nCode = 80020005"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(result.out.rfind("QM_TERRAIN  22.12  Terrain Modelling\n", 0), 0u) << result.out;

    std::remove((modules + "/b.default.xml").c_str());
    const qmtest::ProcessResult empty = qmloader({"list", "--json"});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_EQ(empty.out, "[]\n");
}

}  // namespace
