// Hostile and broken definition files: each is refused (or, for UTF-16, accepted) without
// stopping the scan, without network or file access beyond the file itself, and logged.
#include <gtest/gtest.h>
#include <qmtest/files.h>

#include <chrono>
#include <fstream>

#include "catalogue/catalogue.h"
#include "catalogue/com_error.h"
#include "catalogue/module_definition_reader.h"
#include "catalogue_fixture.h"
#include "environment/diagnostic_log.h"

namespace {

using qm::DefinitionFault;

std::string dataDir() {
    return qmtest::sourceDir() + "/tests/loader/catalogue/data";
}

struct BadFile {
    const char* name;
    DefinitionFault fault;
};

const BadFile kBadFiles[] = {
    {"not_well_formed.xml", DefinitionFault::NotWellFormed},
    {"schema_invalid.xml", DefinitionFault::Invalid},
    {"missing_keyname.xml", DefinitionFault::Invalid},
    {"missing_attribute.xml", DefinitionFault::ComError},
    {"wrong_root.xml", DefinitionFault::Invalid},
    {"namespaced_root.xml", DefinitionFault::Invalid},
    {"empty.xml", DefinitionFault::NotWellFormed},
    {"entity_bomb.xml", DefinitionFault::Doctype},
    {"external_entity.xml", DefinitionFault::Doctype},
    {"external_dtd.xml", DefinitionFault::Doctype},
    {"invalid_utf8.xml", DefinitionFault::NotWellFormed},
    {"nul_byte.xml", DefinitionFault::NotWellFormed},
};

class BadInputTest : public qmtest::CatalogueFixture {
protected:
    qm::DefinitionDiagnostic readExpectingRejection(const std::string& path,
                                                    std::string& errorText) {
        qm::ModuleDefinitionReader reader(schema());
        qm::ModuleRecord record;
        qm::DefinitionDiagnostic diagnostic;
        EXPECT_FALSE(reader.Read(path, record, errorText, &diagnostic)) << path;
        EXPECT_TRUE(record.GetKey().empty()) << path;
        return diagnostic;
    }

    // Files too big or too deep to keep in the source tree.
    std::string writeHuge() const {
        const std::string path = modules() + "/huge.default.xml";
        std::ofstream out(path, std::ios::binary);
        out << "<?xml version=\"1.0\"?>\n<QM_Module><Keyname>QM_HUGE</Keyname><!--";
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 50; ++i) {
            out << block;
        }
        out << "--></QM_Module>\n";
        return path;
    }
    std::string writeDeep() const {
        const int depth = 100000;
        std::string text = "<?xml version=\"1.0\"?>\n";
        text.reserve(static_cast<std::size_t>(depth) * 7 + 64);
        for (int i = 0; i < depth; ++i)
            text += "<a>";
        for (int i = 0; i < depth; ++i)
            text += "</a>";
        return writeRaw("deep.default.xml", text);
    }
};

TEST_F(BadInputTest, EachKindIsRefusedForItsOwnReason) {
    for (const BadFile& bad : kBadFiles) {
        std::string errorText;
        const qm::DefinitionDiagnostic d =
            readExpectingRejection(dataDir() + "/bad/" + bad.name, errorText);
        EXPECT_EQ(d.fault, bad.fault) << bad.name << ": " << d.reason;
        EXPECT_FALSE(d.reason.empty()) << bad.name;
        if (bad.fault == DefinitionFault::ComError) {
            EXPECT_EQ(errorText, qm::ComErrorText(qm::kComErrorTypeMismatch)) << bad.name;
        } else {
            EXPECT_TRUE(errorText.empty()) << bad.name;
        }
    }
}

TEST_F(BadInputTest, HugeAndDeepFilesAreRefusedQuickly) {
    const struct {
        std::string path;
        DefinitionFault fault;
    } cases[] = {{writeHuge(), DefinitionFault::TooLarge},
                 {writeDeep(), DefinitionFault::NotWellFormed}};
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        std::string errorText;
        EXPECT_EQ(readExpectingRejection(c.path, errorText).fault, c.fault) << c.path;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.path;
    }
}

TEST_F(BadInputTest, Utf16WithByteOrderMarkIsAccepted) {
    qm::ModuleDefinitionReader reader(schema());
    qm::ModuleRecord record;
    std::string errorText;
    ASSERT_TRUE(reader.Read(dataDir() + "/utf16_bom.xml", record, errorText));
    EXPECT_EQ(record.GetKey(), "QM_UTF16");
    EXPECT_EQ(record.GetDisplayName(),
              "Vermessung \xC3\x9C"
              "bersicht");
}

TEST_F(BadInputTest, ScanGoesOnPastEveryBadFileAndLogsEachOne) {
    for (const BadFile& bad : kBadFiles) {
        writeRaw(std::string("bad_") + bad.name + ".default.xml",
                 qmtest::readFile(dataDir() + "/bad/" + bad.name));
    }
    writeHuge();
    writeDeep();
    writeRaw("utf16.default.xml", qmtest::readFile(dataDir() + "/utf16_bom.xml"));
    writeDefinition("zz_good.default.xml", qmtest::DefinitionDoc{});

    const std::string logFile = installation() + "/diagnostic.log";
    qm::ModuleList list;
    std::string errorText;
    {
        qm::DiagnosticLog log(logFile);
        ASSERT_TRUE(qm::LoadCatalogue(qm::MakeCatalogueContext("Default", "enu", &log), modules(),
                                      "xml", list, errorText));
    }
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].GetKey(), "QM_TEST");
    EXPECT_EQ(list[1].GetKey(), "QM_UTF16");
    EXPECT_EQ(errorText, qm::ComErrorText(qm::kComErrorTypeMismatch));

    const std::string log = qmtest::readFile(logFile);
    for (const BadFile& bad : kBadFiles) {
        EXPECT_NE(log.find(std::string("bad_") + bad.name + ".default.xml:"), std::string::npos)
            << bad.name;
    }
    EXPECT_NE(log.find("huge.default.xml:0: rejected (too large)"), std::string::npos) << log;
    EXPECT_NE(log.find("deep.default.xml:"), std::string::npos) << log;
    EXPECT_NE(log.find("utf16.default.xml: accepted, encoded as UTF-16"), std::string::npos) << log;
}

}  // namespace
