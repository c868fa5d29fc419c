#pragma once
// A private user with a private installation folder holding the sample schema, for tests that
// read module definitions.
#include <gtest/gtest.h>
#include <qmtest/relocated_user.h>
#include <qmtest/temp_dir.h>

#include <string>
#include <vector>

#include "definition_builder.h"

namespace qmtest {

class CatalogueFixture : public ::testing::Test {
protected:
    CatalogueFixture();

    const std::string& installation() const { return installation_.path(); }
    // The installation's definitions folder, holding the sample schema.
    std::string modules() const { return installation_ / "Zadod/Modules"; }
    std::string schema() const { return modules() + "/QM_Module.xsd"; }
    // Writes a definition into the definitions folder and returns its path.
    std::string writeDefinition(const std::string& fileName, const DefinitionDoc& doc) const;
    std::string writeRaw(const std::string& fileName, const std::string& content) const;
    // Waits until the file clock has passed the times of the definitions named (file names in
    // the definitions folder): a catalogue snapshot never vouches for a file stamped within the
    // first clock tick of the scan that recorded it. Fails after a bound instead of hanging.
    void waitPastFileTimes(const std::vector<std::string>& fileNames) const;

private:
    TempDir installation_;
    RelocatedUser user_{installation_.path()};
};

}  // namespace qmtest
