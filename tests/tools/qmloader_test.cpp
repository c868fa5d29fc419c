// qmloader as a user runs it: a separate process over real installations and a private
// registry.
#include <gtest/gtest.h>
#include <qmreg/registry.h>
#include <qmtest/child_process.h>
#if !defined(_WIN32)
#include <qmtest/file_size_limit.h>
#endif
#include <qmtest/files.h>
#include <qmtest/module_settings.h>
#include <qmtest/relocated_user.h>
#include <qmtest/temp_dir.h>
#include <qmtest/text.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>

#include "environment/registry_layout.h"

namespace {

using qm::registry_layout::moduleKey;

std::string sample() {
    return qmtest::sampleDir();
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

using qmtest::lines;

// text as a JSON string, quotes included: a path may hold a quote or a backslash.
std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

// The top-level objects of the JSON array qmloader writes, one string each, in order.
std::vector<std::string> jsonModules(const std::string& json) {
    std::vector<std::string> out;
    for (std::size_t at = json.find("\n  {"); at != std::string::npos;) {
        const std::size_t next = json.find("\n  {", at + 1);
        out.push_back(json.substr(at, next - at));
        at = next;
    }
    return out;
}

// The installation folder as the demo names it, with a trailing separator: paths built from
// it still have one separator at each join.
class QmloaderTest : public ::testing::Test {
protected:
    qmtest::RelocatedUser user_{sample() + "/"};
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

TEST_F(QmloaderTest, ExitCodes) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{"--config", "Default", "validate"}, 0},  // the sample is valid in each configuration
        {{"--config", "Rail", "validate"}, 0},
        {{"--config", "Nothing", "validate"}, 1},  // no definitions at all
        {{}, 2},
        {{"frobnicate"}, 2},
        {{"list", "--xml"}, 2},
    };
    for (const auto& c : cases) {
        const qmtest::ProcessResult result = qmloader(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << ::testing::PrintToString(c.args) << result.err;
        if (c.exitCode == 0) {
            EXPECT_EQ(result.out, "");
        }
    }
    // Checking files leaves the registry alone.
    qmreg::Hive hive(qmreg::hiveFile(qmreg::HiveId::CurrentUser), true);
    EXPECT_FALSE(hive.keyExists(qm::registry_layout::modulesKey()));
}

TEST_F(QmloaderTest, ListJsonShowsEveryModuleWithMenusApplicationsAndTheUsersSettings) {
    {
        qmreg::Hive hive(qmreg::hiveFile(qmreg::HiveId::CurrentUser));
        ASSERT_TRUE(hive.createKey(moduleKey("QM_SURVEY")));
        hive.setValue(moduleKey("QM_SURVEY"), qmreg::Value::string("Activated", "False"));
        ASSERT_TRUE(hive.createKey(moduleKey("QM_ROADS")));
        hive.setValue(moduleKey("QM_ROADS"), qmreg::Value::string("AutoStart", "True"));
        hive.setValue(moduleKey("QM_ROADS"), qmreg::Value::dword("OverrideVersionMinor", 99));
    }
    const qmtest::ProcessResult result = qmloader({"list", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");

    const std::string none = "\"applications\": [],";
    const struct {
        const char* key;
        std::vector<std::string> parts;
    } expected[] = {
        {"QM_DRAINAGE",
         {"\"name\": \"Drainage Networks\"", "\"name\": \"KRQM_Drainage_enu\"", none}},
        {"QM_BASE", {"\"name\": \"Quillmont Base\"", "\"name\": \"KRQM_Base_enu\"", none}},
        {"QM_ROADS",
         {"\"name\": \"Road Design\"", "\"version_major\": 22", "\"version_minor\": 99",
          "\"name\": \"KRQM_Roads_enu\",\n        \"folder\": \"Roads\\\\Menus\"",
          "\"path\": " + jsonString(sample() + "/Bin/krqm_roads.arx"), "\"type\": \"arx\"",
          "\"command\": \"KRQM_ROADS_INIT\"", "\"modal\": false", "\"activated\": true",
          "\"autostart\": true"}},
        {"QM_SURVEY",
         {"\"name\": \"Survey Data\"",
          "\"path\": " + jsonString(sample() + "/Survey/Bin/krqm_survey_sync"),
          "\"arguments\": \"--configuration default\"", "\"activated\": false"}},
        {"QM_TERRAIN", {"\"name\": \"Terrain Modelling\"", "\"version_minor\": 12", none}},
    };
    const std::vector<std::string> modules = jsonModules(result.out);
    ASSERT_EQ(modules.size(), std::size(expected)) << result.out;
    for (std::size_t i = 0; i < modules.size(); ++i) {
        EXPECT_NE(modules[i].find(std::string("\"key\": \"") + expected[i].key + "\""),
                  std::string::npos)
            << i << modules[i];
        for (const std::string& part : expected[i].parts) {
            EXPECT_NE(modules[i].find(part), std::string::npos) << part << " in " << modules[i];
        }
    }

    // Listing wrote nothing but the module keys that reading creates.
    qmreg::Hive hive(qmreg::hiveFile(qmreg::HiveId::CurrentUser), true);
    EXPECT_EQ(hive.subkeys(qm::registry_layout::modulesKey()),
              (std::vector<std::string>{"QM_BASE", "QM_DRAINAGE", "QM_ROADS", "QM_SURVEY",
                                        "QM_TERRAIN"}));
    EXPECT_TRUE(hive.values(moduleKey("QM_BASE")).empty());
}

#if !defined(_WIN32)  // names there are UTF-16: every one converts to UTF-8
// JSON is UTF-8: an installation folder whose name is not (made in another encoding) comes out
// with U+FFFD for its broken byte, and the document stays readable.
TEST_F(QmloaderTest, ListJsonIsUtf8AlsoWhereTheInstallationPathIsNot) {
    qmtest::TempDir root;
    const std::string installation = root / "inst\xFF";
    qmtest::RelocatedUser user(installation);
    const std::string modules = installation + "/Zadod/Modules";
    qmtest::writeFile(modules + "/QM_Module.xsd", qmtest::readFile(sampleSchema()));
    qmtest::writeFile(modules + "/Survey.default.xml",
                      qmtest::readFile(sample() + "/Zadod/Modules/Survey.default.xml"));
    const qmtest::ProcessResult result = qmloader({"list", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("inst\xEF\xBF\xBD/Survey/Bin/krqm_survey_sync\""), std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find('\xFF'), std::string::npos) << result.out;
}
#endif

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

// qmloader set and show through the real program and the real store. Before each case
// QM_ROADS is activated and started with the host, QM_SURVEY switched off.
struct SetCase {
    const char* label;
    std::string args;  // split at blanks
    int exitCode;
    const char* err;    // expected in the error output
    const char* roads;  // QM_ROADS afterwards as "Activated AutoStart DemandLoad", or nullptr:
                        // the store is left exactly as it was
};

void PrintTo(const SetCase& c, std::ostream* os) {
    *os << c.label;
}

class QmloaderSetTest : public QmloaderTest, public ::testing::WithParamInterface<SetCase> {
protected:
    static void write(const char* key, const char* name, const char* value) {
        qmtest::storeModuleSettings(key, {{name, value}});
    }
    static std::string settings(const char* key) {
        qmreg::Hive hive(qmreg::hiveFile(qmreg::HiveId::CurrentUser), true);
        std::string out;
        for (const char* name : {"Activated", "AutoStart", "DemandLoad"}) {
            auto value = hive.getValue(moduleKey(key), name);
            out += (out.empty() ? "" : " ") + (value ? value->asString() : std::string("-"));
        }
        return out;
    }
    // Every module's settings, to see that a refused command wrote nothing.
    static std::string everything() {
        std::string out;
        for (const char* key : {"QM_BASE", "QM_DRAINAGE", "QM_ROADS", "QM_SURVEY", "QM_TERRAIN"})
            out += std::string(key) + ": " + settings(key) + "\n";
        return out;
    }
};

TEST_P(QmloaderSetTest, ChangesOneModuleOrRefusesAndWritesNothing) {
    const auto& c = GetParam();
    write("QM_ROADS", "Activated", "True");
    write("QM_ROADS", "AutoStart", "True");
    write("QM_ROADS", "DemandLoad", "False");
    write("QM_SURVEY", "Activated", "False");
    const std::string before = everything();

    const qmtest::ProcessResult result = qmloader(qmtest::words(c.args));
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    if (c.roads) {
        EXPECT_EQ(settings("QM_ROADS"), c.roads);
        // The other modules' stored values are left exactly as they were.
        EXPECT_EQ(settings("QM_SURVEY"), "False - -");
    } else {
        EXPECT_EQ(everything(), before);
        EXPECT_EQ(result.out, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QmloaderSetTest,
    ::testing::Values(
        SetCase{"DemandLoadOn", "set QM_ROADS --demandload on", 0, "", "True True True"},
        SetCase{"KeyInAnotherCase", "set qm_roads --autostart=off", 0, "", "True False False"},
        SetCase{"SwitchedOffStopsStartingAndDemandLoad", "set QM_ROADS --activated off", 0, "",
                "False False False"},
        SetCase{"AllThree", "set QM_ROADS --activated on --autostart off --demandload on", 0, "",
                "True False True"},
        SetCase{"BaseModuleSwitchedOff", "set QM_BASE --activated off", 1,
                "the base module QM_BASE is always activated", nullptr},
        SetCase{"BaseModuleDemandLoaded", "set qm_base --demandload on", 1, "cannot be changed",
                nullptr},
        SetCase{"BaseModuleNotStarted", "set QM_BASE --autostart off", 1, "cannot be changed",
                nullptr},
        SetCase{"UnknownKey", "set QM_NOPE --activated on", 1, "no module with key \"QM_NOPE\"",
                nullptr},
        SetCase{"OffButStarted", "set QM_ROADS --activated off --autostart on", 1,
                "need --activated on", nullptr},
        SetCase{"NotOnOrOff", "set QM_ROADS --activated yes", 2, "takes on or off, not 'yes'",
                nullptr},
        SetCase{"NothingToSet", "set QM_ROADS", 2, "set needs", nullptr},
        SetCase{"NoKey", "set --activated on", 2, "one module key", nullptr},
        SetCase{"TwoKeys", "set QM_ROADS QM_SURVEY --activated on", 2, "one module key", nullptr},
        SetCase{"GivenTwice", "set QM_ROADS --activated=on --activated off", 2, "given twice",
                nullptr},
        SetCase{"OptionOfAnotherCommand", "set QM_ROADS --json", 2,
                "'--json' does not apply to set", nullptr},
        SetCase{"ShowTakesNoSettings", "show QM_ROADS --activated on", 2, "does not apply to show",
                nullptr},
        SetCase{"ShowUnknownKey", "show QM_NOPE", 1, "no module with key", nullptr}),
    [](const auto& testCase) { return std::string(testCase.param.label); });

TEST_F(QmloaderSetTest, ShowPrintsWhatSetWroteAndTheLoaderReads) {
    ASSERT_EQ(qmloader({"set", "QM_SURVEY", "--activated", "on", "--demandload", "on"}).exitCode,
              0);
    const qmtest::ProcessResult show = qmloader({"show", "qm_survey"});
    EXPECT_EQ(show.exitCode, 0) << show.err;
    EXPECT_EQ(show.out,
              "key: QM_SURVEY\nname: Survey Data\nactivated: on\nautostart: off\ndemandload: on\n");
    const qmtest::ProcessResult list = qmloader({"list", "--json"});
    EXPECT_NE(list.out.find("\"demandload\": true"), std::string::npos);
}

#if !defined(_WIN32)  // the real registry there: no store file to damage, no file size limit
// A set the store does not keep must say so: a status of 0 and the new settings printed would
// let a script believe the change was made.
struct UnstoredCase {
    const char* label;
    std::function<void(const qmtest::RelocatedUser&)> spoil;  // after the store exists
    bool obeyFilePermissions;
    rlim_t fileSizeLimit;  // for the set only; 0 for none
    const char* reason;    // the first refusal, named after "were not stored: "
};

void PrintTo(const UnstoredCase& c, std::ostream* os) {
    *os << c.label;
}

class QmloaderUnstoredSetTest : public QmloaderTest,
                                public ::testing::WithParamInterface<UnstoredCase> {};

TEST_P(QmloaderUnstoredSetTest, SaysSoAndFails) {
    const UnstoredCase& c = GetParam();
    ASSERT_EQ(qmloader({"list"}).exitCode, 0);  // makes the store and every module's key
    c.spoil(user_);
    std::unique_ptr<qmtest::FileSizeLimit> fullDisk;
    if (c.fileSizeLimit)
        fullDisk = std::make_unique<qmtest::FileSizeLimit>(c.fileSizeLimit);
    qmtest::ProcessOptions options;
    options.obeyFilePermissions = c.obeyFilePermissions;
    const qmtest::ProcessResult result = qmtest::runProcess(
        {qmtest::binDir() + "/qmloader", "set", "QM_ROADS", "--demandload", "on"}, options);
    fullDisk.reset();
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find(std::string("qmloader: the settings of QM_ROADS were not stored: ") +
                              c.reason),
              std::string::npos)
        << result.err;
    EXPECT_EQ(result.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Stores, QmloaderUnstoredSetTest,
    ::testing::Values(
        UnstoredCase{"Damaged",
                     [](const qmtest::RelocatedUser&) {
                         const std::string file = qmreg::hiveFile(qmreg::HiveId::CurrentUser);
                         std::remove((file + "-wal").c_str());
                         std::remove((file + "-shm").c_str());
                         qmtest::writeFile(file, std::string(64 * 1024, '\x5a'));
                     },
                     false, 0, "the module's registry key could not be created"},
        UnstoredCase{"ReadOnly",
                     [](const qmtest::RelocatedUser& user) {
                         ::chmod(qmreg::hiveFile(qmreg::HiveId::CurrentUser).c_str(), 0444);
                         ::chmod(user.registryDir().c_str(), 0555);
                     },
                     true, 0, "the value AutoStart was refused"},
        // Smaller than the store's shared-memory index: the store opens for reading only.
        UnstoredCase{"DiskFull", [](const qmtest::RelocatedUser&) {}, false, 8192,
                     "the value AutoStart was refused"}),
    [](const auto& testCase) { return std::string(testCase.param.label); });
#endif

// Sets that must both stay: two programs changing different modules at once, and a key that
// two definitions share (the listing keeps both when they are not neighbours).
TEST_F(QmloaderSetTest, EverySetStays) {
    write("QM_ROADS", "DemandLoad", "False");
    write("QM_SURVEY", "DemandLoad", "False");
    for (int round = 0; round < 8; ++round) {
        const char* const on = round % 2 ? "off" : "on";
        qmtest::BackgroundProcess roads({qmtest::binDir() + "/qmloader", "set", "QM_ROADS",
                                         "--activated", "on", "--demandload", on});
        qmtest::BackgroundProcess survey({qmtest::binDir() + "/qmloader", "set", "QM_SURVEY",
                                          "--activated", "on", "--demandload", on});
        ASSERT_EQ(roads.wait(), 0) << roads.output();
        ASSERT_EQ(survey.wait(), 0) << survey.output();
        const std::string expected = round % 2 ? "False" : "True";
        ASSERT_EQ(qmtest::storedModuleSetting("QM_ROADS", "DemandLoad"), expected)
            << "round " << round;
        ASSERT_EQ(qmtest::storedModuleSetting("QM_SURVEY", "DemandLoad"), expected)
            << "round " << round;
    }

    qmtest::TempDir installation;
    qmtest::RelocatedUser user(installation.path());
    const std::string modules = installation / "Zadod/Modules";
    qmtest::writeFile(modules + "/QM_Module.xsd", qmtest::readFile(sampleSchema()));
    for (const char* file : {"Roads.default.xml", "Survey.default.xml"})
        qmtest::writeFile(modules + "/" + file,
                          qmtest::readFile(sample() + "/Zadod/Modules/" + file));
    std::string terrain = qmtest::readFile(sample() + "/Zadod/Modules/Terrain.default.xml");
    terrain.replace(terrain.find("QM_TERRAIN"), 10, "QM_ROADS");
    qmtest::writeFile(modules + "/Terrain.default.xml", terrain);
    const qmtest::ProcessResult set = qmloader({"set", "QM_ROADS", "--demandload", "on"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(qmtest::storedModuleSetting("QM_ROADS", "DemandLoad"), "True");
}

}  // namespace
