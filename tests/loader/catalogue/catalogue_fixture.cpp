#include "catalogue_fixture.h"

#include <qmtest/files.h>

namespace qmtest {

CatalogueFixture::CatalogueFixture() {
    writeFile(schema(), readFile(SampleSchemaPath()));
}

std::string CatalogueFixture::writeDefinition(const std::string& fileName,
                                              const DefinitionSpec& spec) const {
    return writeRaw(fileName, DefinitionXml(spec));
}

std::string CatalogueFixture::writeRaw(const std::string& fileName,
                                       const std::string& content) const {
    const std::string path = modules() + "/" + fileName;
    writeFile(path, content);
    return path;
}

}  // namespace qmtest
