// Hostile and broken definition files, one of each kind: every one is refused and logged
// without stopping the scan, by the check meant for it (size, depth, document type, entities)
// and without network or file access beyond the file itself; a UTF-16 file is accepted.
#include <gtest/gtest.h>
#include <qmtest/files.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/com_error.h"
#include "catalogue/module_definition_reader.h"
#include "catalogue/safe_xml_loader.h"
#include "catalogue_fixture.h"
#include "environment/diagnostic_log.h"

namespace {

std::string dataDir() {
    return qmtest::sourceDir() + "/tests/loader/catalogue/data";
}

const char* const kBadFiles[] = {
    "not_well_formed.xml", "schema_invalid.xml",  "missing_keyname.xml", "missing_attribute.xml",
    "wrong_root.xml",      "namespaced_root.xml", "empty.xml",           "entity_bomb.xml",
    "external_entity.xml", "external_dtd.xml",    "invalid_utf8.xml",    "nul_byte.xml",
};

class BadInputTest : public qmtest::CatalogueFixture {
protected:
    // Files too big or too deep to keep in the source tree.
    void writeHuge() const {
        std::ofstream out(modules() + "/huge.default.xml", std::ios::binary);
        out << "<?xml version=\"1.0\"?>\n<QM_Module><Keyname>QM_HUGE</Keyname><!--";
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 50; ++i) {
            out << block;
        }
        out << "--></QM_Module>\n";
    }
    void writeDeep() const {
        const int depth = 100000;
        std::string text = "<?xml version=\"1.0\"?>\n";
        for (int i = 0; i < depth; ++i)
            text += "<a>";
        for (int i = 0; i < depth; ++i)
            text += "</a>";
        writeRaw("deep.default.xml", text);
    }
    // 200,000 namespaced attributes on the root: 2.7 MB that would cost libxml2 a minute.
    void writeCrowded() const {
        std::string text = "<?xml version=\"1.0\"?>\n<QM_Module xmlns:p=\"urn:p\"";
        for (int i = 0; i < 200000; ++i) {
            text += " p:a" + std::to_string(i) + "=\"\"";
        }
        writeRaw("crowded.default.xml", text + "><Keyname>QM_CROWDED</Keyname></QM_Module>\n");
    }
    // Loads the catalogue, never waiting on a FIFO among the files.
    bool loadWithoutWaiting(qm::DiagnosticLog& log, qm::ModuleList& list, std::string& errorText,
                            const std::vector<std::string>& fifos) const {
        bool found = false;
        const auto load = [&] {
            found = qm::LoadCatalogue(qm::MakeCatalogueContext("Default", "enu", &log), modules(),
                                      "xml", list, errorText);
        };
#if defined(_WIN32)  // no FIFOs there to wait on
        EXPECT_TRUE(fifos.empty());
        load();
#else
        EXPECT_TRUE(qmtest::returnsWithoutWaitingOnFifos(load, fifos));
#endif
        return found;
    }
};

TEST_F(BadInputTest, ScanGoesOnPastEveryBadFileAndLogsEachOne) {
    for (const char* bad : kBadFiles) {
        writeRaw(std::string("bad_") + bad + ".default.xml",
                 qmtest::readFile(dataDir() + "/bad/" + bad));
    }
    writeHuge();
    writeDeep();
    writeCrowded();
    std::vector<std::string> fifos;
#if !defined(_WIN32)  // no FIFOs there
    fifos.push_back(modules() + "/fifo.default.xml");
    qmtest::makeFifo(fifos.back());
#endif
    writeRaw("utf16.default.xml", qmtest::readFile(dataDir() + "/utf16_bom.xml"));
    writeDefinition("zz_good.default.xml", qmtest::DefinitionDoc{});

    const std::string logFile = installation() + "/diagnostic.log";
    qm::ModuleList list;
    std::string errorText;
    {
        qm::DiagnosticLog log(logFile);
        ASSERT_TRUE(loadWithoutWaiting(log, list, errorText, fifos));
    }
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].GetKey(), "QM_TEST");
    EXPECT_EQ(list[1].GetKey(), "QM_UTF16");
    EXPECT_EQ(list[1].GetDisplayName(),
              "Vermessung \xC3\x9C"
              "bersicht");
    EXPECT_EQ(errorText, qm::ComErrorText(qm::kComErrorTypeMismatch));

    const std::string log = qmtest::readFile(logFile);
    for (const char* bad : kBadFiles) {
        EXPECT_NE(log.find(std::string("bad_") + bad + ".default.xml:"), std::string::npos) << bad;
    }
    for (const char* line :
         {"bad_not_well_formed.xml.default.xml:5: rejected (not well-formed)", "Code = 80020005",
          "huge.default.xml:0: rejected (too large)",
          "crowded.default.xml:2: rejected (not well-formed): more than 256 attributes on one "
          "element",
          "deep.default.xml:", "utf16.default.xml: accepted, encoded as UTF-16"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    }
    for (const std::string& fifo : fifos) {
        EXPECT_NE(log.find(qmtest::utf8(qmtest::fsPath(fifo).filename()) +
                           ":0: rejected (unreadable): not a regular file"),
                  std::string::npos)
            << log;
    }
    EXPECT_EQ(log.find("zz_good"), std::string::npos) << log;
}

// A reader keeps one parser for all its files: whatever an earlier file left behind in it (a
// stopped parse, a foreign encoding, a flood of names), each file is judged as a reader of its
// own would judge it.
TEST_F(BadInputTest, OneReaderJudgesEachFileAsAFreshReaderWould) {
    std::vector<std::string> files;
    for (const char* bad : kBadFiles) {
        files.push_back(dataDir() + "/bad/" + bad);
    }
    files.push_back(dataDir() + "/utf16_bom.xml");
    files.push_back(writeDefinition("good.default.xml", qmtest::DefinitionDoc{}));
    qmtest::DefinitionDoc full;
    full.menus = {{"KRQM_A_enu"}, {"KRQM_B_enu", "Other"}};
    full.applications = std::vector<qmtest::ApplicationElement>{{"a.exe"}, {"b.arx"}};
    full.applications->back().modal = "True";
    files.push_back(writeDefinition("full.default.xml", full));
    std::string names = "<?xml version=\"1.0\"?>\n<QM_Module><Keyname>QM_NAMES</Keyname>";
    for (int i = 0; i < 4000; ++i) {
        names += "<an_element_name_used_once_" + std::to_string(i) + "/>";
    }
    writeRaw("names.default.xml", names + "</QM_Module>\n");
    files.push_back(modules() + "/names.default.xml");
    // Every file after every other one, and once more in the opposite order.
    std::vector<std::string> order = files;
    for (const std::string& before : files) {
        for (const std::string& file : files) {
            order.push_back(before);
            order.push_back(file);
        }
    }
    order.insert(order.end(), files.rbegin(), files.rend());

    const auto judge = [](const qm::ModuleDefinitionReader& reader, const std::string& file) {
        qm::ModuleRecord record;
        std::string errorText;
        qm::DefinitionDiagnostic diagnostic;
        const bool accepted = reader.read(file, record, errorText, &diagnostic);
        std::string judged = std::to_string(accepted) + "|" + record.GetKey() + "|" + errorText +
                             "|" + std::to_string(static_cast<int>(diagnostic.fault)) + "|" +
                             std::to_string(diagnostic.line) + "|" + diagnostic.reason;
        for (const qm::MenuEntry& menu : record.GetMenus()) {
            judged += "|menu " + menu.name + " in " + menu.folder;
        }
        for (const qm::QmApplication& app : record.GetApplications()) {
            judged += "|app " + app.GetPath() + (app.GetModal() ? " modal" : "");
        }
        return judged;
    };
    const qm::ModuleDefinitionReader shared(schema());
    for (const std::string& file : order) {
        const qm::ModuleDefinitionReader fresh(schema());
        ASSERT_EQ(judge(shared, file), judge(fresh, file)) << file;
    }
}

// Only '=' signs of attributes in one start tag count towards the limit, in either encoding.
TEST(CrowdedElementTest, CountsTheAttributesOfOneStartTag) {
    const auto attributes = [](int count, const std::string& value = "") {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += " a" + std::to_string(i) + "='" + value + "'";
        }
        return text;
    };
    const auto utf16 = [](const std::string& text) {
        std::string wide = "\xFF\xFE";
        for (const char c : text) {
            wide += c;
            wide += '\0';
        }
        return wide;
    };
    const std::string head = "<?xml version='1.0'?>\n<r>\n";
    const struct {
        std::string data;
        int line;
    } cases[] = {
        {head + "<e" + attributes(256) + "/></r>", 0},
        {head + "<e" + attributes(257) + "/></r>", 3},
        {"<r>\n<e" + attributes(257) + "/></r>", 2},  // no other '=' in the document
        {head + "<e" + attributes(200) + "/>\n<f" + attributes(200) + "/></r>", 0},
        {head + "<e" + attributes(2, std::string(300, '=')) + "/></r>", 0},
        {head + "<!--" + std::string(300, '=') + "-->" + std::string(300, '=') + "</r>", 0},
        {head + "<?pi " + std::string(300, '=') + "?><![CDATA[" + std::string(300, '=') + "]]></r>",
         0},
        {head + "<e\n" + attributes(300) + "/></r>", 3},
        {utf16(head + "<e" + attributes(256) + "/></r>"), 0},
        {utf16("<r>\n\n<e" + attributes(257) + "/></r>"), 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(qm::xml::FirstCrowdedElementLine(c.data, 256), c.line) << c.data.substr(0, 60);
    }
}

#if !defined(_WIN32)  // no FIFOs there
// A schema that is a FIFO is refused at once: every definition is skipped, nothing waits.
TEST_F(BadInputTest, SchemaThatIsAFifoIsRefusedWithoutWaiting) {
    std::filesystem::remove(schema());
    qmtest::makeFifo(schema());
    writeDefinition("good.default.xml", qmtest::DefinitionDoc{});
    const std::string logFile = installation() + "/diagnostic.log";
    qm::ModuleList list;
    std::string errorText;
    {
        qm::DiagnosticLog log(logFile);
        EXPECT_FALSE(loadWithoutWaiting(log, list, errorText, {schema()}));
    }
    EXPECT_NE(qmtest::readFile(logFile).find("not a regular file"), std::string::npos);
}
#endif

}  // namespace
