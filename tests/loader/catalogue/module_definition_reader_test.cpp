// Reading single module definitions: values, their conversions, and the COM error of a missing
// attribute. (A complete definition read as a whole is checked by qmloader's listing of the
// sample installation.)
#include "catalogue/module_definition_reader.h"

#include <gtest/gtest.h>
#include <qmreg/registry.h>
#include <qmtest/files.h>

#include <cstdint>

#include "catalogue/com_error.h"
#include "catalogue/xml_text.h"
#include "catalogue_fixture.h"
#include "environment/registry_layout.h"

namespace {

using qm::DefinitionDiagnostic;
using qm::DefinitionFault;
using qm::ModuleRecord;
using qmtest::ApplicationElement;
using qmtest::DefinitionDoc;
using qmtest::MenuElement;

class DefinitionReaderTest : public qmtest::CatalogueFixture {
protected:
    struct Outcome {
        bool accepted = false;
        ModuleRecord record;
        std::string errorText;
        DefinitionDiagnostic diagnostic;
    };

    Outcome read(const DefinitionDoc& doc) {
        return readFile(writeDefinition("m.default.xml", doc));
    }

    Outcome readFile(const std::string& path) {
        Outcome out;
        qm::ModuleDefinitionReader reader(schema());
        out.accepted = reader.Read(path, out.record, out.errorText, &out.diagnostic);
        return out;
    }

    static std::unique_ptr<qmreg::Hive> userHive() {
        return std::make_unique<qmreg::Hive>(qmreg::hiveFile(qmreg::HiveId::CurrentUser));
    }
};

TEST_F(DefinitionReaderTest, ElementTextIsNormalisedLikeTheDom) {
    const struct {
        const char* raw;
        const char* text;
    } cases[] = {
        {"  QM_A  ", "QM_A"},
        {"QM \n\t  A", "QM A"},
        {"\n  QM\r\n\r\nA\n", "QM A"},
        {"<![CDATA[ a  b ]]>", " a  b "},
        {"  x <![CDATA[ a ]]>  y ", "x  a  y"},
        {"Q<!-- note -->M", "QM"},
        {"Q <?tool hint?> M", "Q M"},
        {"&amp;&lt;&#x41;&#66;", "&<AB"},
        {"Stra\xC3\x9F", "Stra\xC3\x9F"},
        {"", ""},
    };
    for (const auto& c : cases) {
        DefinitionDoc doc;
        doc.keyname = c.raw;
        doc.moduleName = c.raw;
        doc.menus = {{c.raw, "Menus"}};
        const Outcome out = read(doc);
        ASSERT_TRUE(out.accepted) << c.raw << ": " << out.diagnostic.reason;
        EXPECT_EQ(out.record.GetKey(), c.text) << c.raw;
        EXPECT_EQ(out.record.GetDisplayName(), c.text) << c.raw;
        EXPECT_EQ(out.record.GetMenus()[0].name, c.text) << c.raw;
    }
}

TEST(ParseLong, FollowsTheWideStringConversion) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {{"3a", 3}, {"a3", 0}, {"-12", -12}, {"\t\v\f 5", 5}};
    for (const auto& c : cases) {
        EXPECT_EQ(qm::xml::ParseLong(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST_F(DefinitionReaderTest, RepeatedMenuNameIgnoringCaseKeepsTheFirst) {
    DefinitionDoc doc;
    doc.menus = {{"KRQM_Roads_enu", "First"}, {"krqm_ROADS_ENU", "Second"}, {"Other", "Third"}};
    const Outcome out = read(doc);
    ASSERT_TRUE(out.accepted);
    ASSERT_EQ(out.record.GetMenus().Count(), 2u);
    EXPECT_EQ(out.record.GetMenus()[0].name, "KRQM_Roads_enu");
    EXPECT_EQ(out.record.GetMenus()[0].folder, "First");
    EXPECT_EQ(out.record.GetMenus()[1].name, "Other");
}

TEST_F(DefinitionReaderTest, ApplicationsAreOrderedByExpandedPathAndTheFirstDuplicateStays) {
    // Modal is true only for exactly "True".
    DefinitionDoc doc;
    doc.applications = std::vector<ApplicationElement>{
        {"sub\\zeta", "1", "arx", "CMD", "True"}, {"<APPATH>/alpha", "2", "", "", "true"},
        {"alpha", "3", "", "", "True"},   // expands to the same path as the one before: dropped
        {"Alpha", "4", "", "", " True"},  // differs in case only: kept, sorts before "alpha"
        {"/abs/beta", "5", "", "", "1"},
    };
    const Outcome out = read(doc);
    ASSERT_TRUE(out.accepted);
    std::vector<std::string> got;
    for (const qm::QmApplication& app : out.record.GetApplications()) {
        got.push_back(app.GetPath() + " " + app.GetArguments() + " " + app.GetType() + " " +
                      app.GetCommand() + (app.GetModal() ? " modal" : ""));
    }
    const std::vector<std::string> expected = {
        "/abs/beta 5  ",
        installation() + "/Alpha 4  ",
        installation() + "/alpha 2  ",
        installation() + "/sub/zeta 1 arx CMD modal",
    };
    EXPECT_EQ(got, expected);
}

TEST_F(DefinitionReaderTest, AbsentAttributeEndsInTheComErrorAndLeavesTheRecord) {
    const std::string expected = qm::ComErrorText(qm::kComErrorTypeMismatch);
    EXPECT_EQ(expected,
              "Error parsing XML file.\nIs the MSXML reader installed?\n\nCOM Error\nCode = "
              "80020005");
    using Attribute = std::optional<std::string> ApplicationElement::*;
    const std::pair<const char*, Attribute> attributes[] = {
        {"path", &ApplicationElement::path},   {"arguments", &ApplicationElement::arguments},
        {"type", &ApplicationElement::type},   {"command", &ApplicationElement::command},
        {"modal", &ApplicationElement::modal}, {"path", nullptr},  // of the menu
    };
    for (const auto& [attribute, member] : attributes) {
        DefinitionDoc doc;
        ApplicationElement app{"app"};
        MenuElement menu{"KRQM_Menu_enu"};
        if (member) {
            (app.*member).reset();
        } else {
            menu.path.reset();
        }
        doc.menus = {menu};
        doc.applications = std::vector<ApplicationElement>{{"first"}, app};

        ModuleRecord record;
        record.SetKey("untouched");
        std::string errorText = "earlier text";
        DefinitionDiagnostic diagnostic;
        qm::ModuleDefinitionReader reader(schema());
        EXPECT_FALSE(
            reader.Read(writeDefinition("m.default.xml", doc), record, errorText, &diagnostic))
            << attribute;
        EXPECT_EQ(errorText, expected) << attribute;
        EXPECT_EQ(diagnostic.fault, DefinitionFault::ComError) << attribute;
        EXPECT_NE(diagnostic.reason.find(attribute), std::string::npos) << diagnostic.reason;
        EXPECT_EQ(record.GetKey(), "untouched");
        EXPECT_TRUE(record.GetApplications().empty());
    }
}

TEST_F(DefinitionReaderTest, PerUserVersionOverrideReplacesEachPartPresent) {
    const struct {
        std::optional<std::uint32_t> major;
        std::optional<std::uint32_t> minor;
        std::int32_t expectMajor;
        std::int32_t expectMinor;
    } cases[] = {
        {std::nullopt, std::nullopt, 4, 2},
        {9, std::nullopt, 9, 2},
        {9, 0, 9, 0},
        {0xFFFFFFFFu, std::nullopt, -1, 2},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string key = "QM_OVERRIDE_" + std::to_string(n++);
        {
            auto hive = userHive();
            const std::string keyPath = qm::registry_layout::moduleKey(key);
            ASSERT_TRUE(hive->createKey(keyPath));
            if (c.major)
                hive->setValue(keyPath, qmreg::Value::dword("OverrideVersionMajor", *c.major));
            if (c.minor)
                hive->setValue(keyPath, qmreg::Value::dword("OverrideVersionMinor", *c.minor));
        }
        DefinitionDoc doc;
        doc.keyname = key;
        doc.major = "4";
        doc.minor = "2";
        const Outcome out = read(doc);
        ASSERT_TRUE(out.accepted);
        EXPECT_EQ(out.record.GetVersionMajor(), c.expectMajor) << key;
        EXPECT_EQ(out.record.GetVersionMinor(), c.expectMinor) << key;
    }
}

TEST_F(DefinitionReaderTest, ReadingCreatesTheModuleKeyButOnlyWhenItFits) {
    const std::string longKey(300, 'K');
    DefinitionDoc fits;
    fits.keyname = "QM_NEW";
    DefinitionDoc tooLong;
    tooLong.keyname = longKey;
    EXPECT_TRUE(read(fits).accepted);
    const Outcome out = read(tooLong);
    EXPECT_TRUE(out.accepted);
    EXPECT_EQ(out.record.GetKey(), longKey);
    auto hive = userHive();
    EXPECT_TRUE(hive->keyExists(qm::registry_layout::moduleKey("QM_NEW")));
    EXPECT_FALSE(hive->keyExists(qm::registry_layout::moduleKey(longKey)));
}

}  // namespace
