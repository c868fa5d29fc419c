#include "catalogue_fixture.h"

#include <qmtest/files.h>

namespace qmtest {

CatalogueFixture::CatalogueFixture() {
    writeFile(schema(), readFile(SampleSchemaPath()));
}

std::string CatalogueFixture::writeDefinition(const std::string& fileName,
                                              const DefinitionDoc& doc) const {
    return writeRaw(fileName, DefinitionXml(doc));
}

std::string CatalogueFixture::writeRaw(const std::string& fileName,
                                       const std::string& content) const {
    const std::string path = modules() + "/" + fileName;
    writeFile(path, content);
    return path;
}

}  // namespace qmtest
