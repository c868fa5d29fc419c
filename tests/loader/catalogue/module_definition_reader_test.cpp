// Reading single module definitions: values, their conversions, and the COM error of a missing
// attribute. (A complete definition read as a whole is checked by qmloader's listing of the
// sample installation.)
#include "catalogue/module_definition_reader.h"

#include <gtest/gtest.h>
#include <qmreg/registry.h>
#include <qmtest/files.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

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
        out.accepted = reader.read(path, out.record, out.errorText, &out.diagnostic);
        return out;
    }

    // Replaces the installation's schema by the sample schema with each (from, to) replaced.
    void editSchema(const std::vector<std::pair<std::string, std::string>>& edits) {
        std::string text = qmtest::readFile(qmtest::SampleSchemaPath());
        for (const auto& [from, to] : edits) {
            const std::size_t at = text.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            text.replace(at, from.size(), to);
        }
        qmtest::writeFile(schema(), text);
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
    // Where /abs/beta falls depends on the installation's own path (a temporary folder).
    std::vector<std::string> expected = {
        "/abs/beta 5  ",
        installation() + "/Alpha 4  ",
        installation() + "/alpha 2  ",
        installation() + "/sub/zeta 1 arx CMD modal",
    };
    std::sort(expected.begin(), expected.end());
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
            reader.read(writeDefinition("m.default.xml", doc), record, errorText, &diagnostic))
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

TEST_F(DefinitionReaderTest, ReadingCreatesTheModuleKeyAndAppliesTheOverrideAtAnyLength) {
    // A key path beyond 259 characters, though no single name is longer than 255.
    const std::string longKey(240, 'K');
    ASSERT_GT(qm::registry_layout::moduleKey(longKey).size(), qm::registry_layout::kMaxKeyPath);
    {
        auto hive = userHive();
        const std::string keyPath = qm::registry_layout::moduleKey(longKey);
        ASSERT_TRUE(hive->createKey(keyPath));
        ASSERT_TRUE(hive->setValue(keyPath, qmreg::Value::dword("OverrideVersionMajor", 7)));
    }
    DefinitionDoc fits;
    fits.keyname = "QM_NEW";
    DefinitionDoc longer;
    longer.keyname = longKey;
    EXPECT_TRUE(read(fits).accepted);
    const Outcome out = read(longer);
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(out.record.GetKey(), longKey);
    EXPECT_EQ(out.record.GetVersionMajor(), 7);
    EXPECT_EQ(out.record.GetVersionMinor(), 0);
    EXPECT_TRUE(userHive()->keyExists(qm::registry_layout::moduleKey("QM_NEW")));
}

TEST_F(DefinitionReaderTest, SchemaDefaultsFillTheAttributesADefinitionLeavesOut) {
    editSchema({{R"(<xs:attribute name="path" type="xs:string"/>
        <xs:anyAttribute)",
                 R"(<xs:attribute name="path" type="xs:string" default="Shared\Menus"/>
        <xs:anyAttribute)"},
                {R"(<xs:attribute name="modal" type="xs:string"/>)",
                 R"(<xs:attribute name="modal" type="xs:string" default="True"/>)"}});
    DefinitionDoc doc;
    doc.menus = {{"KRQM_Defaulted_enu", std::nullopt}, {"KRQM_Given_enu", "Given"}};
    ApplicationElement defaulted{"defaulted"};
    defaulted.modal.reset();
    ApplicationElement given{"given"};
    given.modal = "False";
    doc.applications = std::vector<ApplicationElement>{defaulted, given};
    const Outcome out = read(doc);
    ASSERT_TRUE(out.accepted) << out.diagnostic.reason;
    EXPECT_EQ(out.errorText, "");
    ASSERT_EQ(out.record.GetMenus().Count(), 2u);
    EXPECT_EQ(out.record.GetMenus()[0].folder, "Shared\\Menus");
    EXPECT_EQ(out.record.GetMenus()[1].folder, "Given");
    ASSERT_EQ(out.record.GetApplications().size(), 2u);
    EXPECT_TRUE(out.record.GetApplications().begin()->GetModal()) << "defaulted";
    EXPECT_FALSE(std::next(out.record.GetApplications().begin())->GetModal()) << "given";
}

TEST_F(DefinitionReaderTest, RepeatedVersionElementsGiveTheFirstOfEachNumberInDocumentOrder) {
    editSchema({{R"(<xs:element name="Version" type="VersionType"/>)",
                 R"(<xs:element name="Version" type="VersionType" maxOccurs="unbounded"/>)"},
                {R"(<xs:element name="VersionMajor" type="xs:string"/>)",
                 R"(<xs:element name="VersionMajor" type="xs:string" minOccurs="0"/>)"},
                {R"(<xs:element name="VersionMinor" type="xs:string"/>)",
                 R"(<xs:element name="VersionMinor" type="xs:string" minOccurs="0"/>)"}});
    const auto definition = [](const std::string& versions) {
        return "<QM_Module><Keyname>QM_V</Keyname>" + versions +
               "<Name><ModuleName>V</ModuleName></Name></QM_Module>";
    };
    const struct {
        const char* versions;
        bool accepted;
        int major;
        int minor;
    } cases[] = {
        {"<Version/><Version><VersionMajor>3</VersionMajor><VersionMinor>4</VersionMinor>"
         "</Version>",
         true, 3, 4},
        {"<Version><VersionMajor>5</VersionMajor></Version>"
         "<Version><VersionMajor>6</VersionMajor><VersionMinor>7</VersionMinor></Version>",
         true, 5, 7},
        {"<Version><VersionMinor>1</VersionMinor></Version><Version/>", false, 0, 0},
    };
    for (const auto& c : cases) {
        const Outcome out = readFile(writeRaw("v.default.xml", definition(c.versions)));
        EXPECT_EQ(out.accepted, c.accepted) << c.versions << ": " << out.diagnostic.reason;
        if (c.accepted) {
            EXPECT_EQ(out.record.GetVersionMajor(), c.major) << c.versions;
            EXPECT_EQ(out.record.GetVersionMinor(), c.minor) << c.versions;
        } else {
            EXPECT_EQ(out.diagnostic.fault, DefinitionFault::MissingElement);
        }
    }
}

// The schema decides before the definition is looked at: a missing schema rejects every
// definition without error text, a file that is not a schema with the generic COM error.
TEST_F(DefinitionReaderTest, UnusableSchemaRejectsEveryDefinition) {
    const std::string data = qmtest::sourceDir() + "/tests/loader/catalogue/data/schemas/";
    const std::string definition = writeDefinition("m.default.xml", DefinitionDoc{});
    const struct {
        std::string schema;
        DefinitionFault fault;
        std::string errorText;
    } cases[] = {
        {installation() + "/absent.xsd", DefinitionFault::SchemaUnloadable, "earlier text"},
        {data + "not_a_schema.xsd", DefinitionFault::ComError, qm::ComErrorText(qm::kComErrorFail)},
        {schema(), DefinitionFault::None, "earlier text"},  // the control: accepted
    };
    for (const auto& c : cases) {
        ModuleRecord record;
        record.SetKey("untouched");
        std::string errorText = "earlier text";
        DefinitionDiagnostic diagnostic;
        const bool accepted =
            qm::ModuleDefinitionReader(c.schema).read(definition, record, errorText, &diagnostic);
        EXPECT_EQ(accepted, c.fault == DefinitionFault::None) << c.schema;
        EXPECT_EQ(diagnostic.fault, c.fault) << c.schema << ": " << diagnostic.reason;
        EXPECT_EQ(errorText, c.errorText) << c.schema;
        EXPECT_EQ(record.GetKey(), accepted ? "QM_TEST" : "untouched") << c.schema;
    }
    const std::string failText = qm::ComErrorText(qm::kComErrorFail);
    EXPECT_EQ(failText.substr(failText.size() - 15), "Code = 80004005");
}

// Under a schema that lets anything through, the reader itself refuses a definition that
// lacks a required element, names the element, and sets no error text.
TEST_F(DefinitionReaderTest, MissingRequiredElementIsRefusedUnderAPermissiveSchema) {
    const std::string permissive =
        qmtest::sourceDir() + "/tests/loader/catalogue/data/schemas/permissive.xsd";
    const std::string version =
        "<Version><VersionMajor>1</VersionMajor>"
        "<VersionMinor>0</VersionMinor></Version>";
    const std::string name = "<Name><ModuleName>M</ModuleName></Name>";
    const struct {
        std::string body;
        const char* missing;
    } cases[] = {
        {version + name, "/QM_Module/Keyname"},
        {"<Keyname>K</Keyname>" + name, "/QM_Module/Version/VersionMajor"},
        {"<Keyname>K</Keyname><Version><VersionMinor>0</VersionMinor></Version>" + name,
         "/QM_Module/Version/VersionMajor"},
        {"<Keyname>K</Keyname><Version><VersionMajor>1</VersionMajor></Version>" + name,
         "/QM_Module/Version/VersionMinor"},
        {"<Keyname>K</Keyname>" + version, "/QM_Module/Name"},
        {"<Keyname>K</Keyname>" + version + "<Name><MenuName path=\"M\">m</MenuName></Name>",
         "/QM_Module/Name/ModuleName"},
        {"<Keyname>K</Keyname>" + version + name, nullptr},  // the control: accepted
    };
    for (const auto& c : cases) {
        const std::string file = writeRaw(
            "m.default.xml", "<?xml version=\"1.0\"?>\n<QM_Module>" + c.body + "</QM_Module>\n");
        ModuleRecord record;
        record.SetKey("untouched");
        std::string errorText = "earlier text";
        DefinitionDiagnostic diagnostic;
        const bool accepted =
            qm::ModuleDefinitionReader(permissive).read(file, record, errorText, &diagnostic);
        EXPECT_EQ(errorText, "earlier text") << c.body;
        if (!c.missing) {
            EXPECT_TRUE(accepted) << diagnostic.reason;
            EXPECT_EQ(record.GetKey(), "K");
            continue;
        }
        EXPECT_FALSE(accepted) << c.body;
        EXPECT_EQ(diagnostic.fault, DefinitionFault::MissingElement) << c.body;
        EXPECT_EQ(diagnostic.reason, std::string("missing element ") + c.missing) << c.body;
        EXPECT_EQ(record.GetKey(), "untouched") << c.body;
    }
}

}  // namespace
