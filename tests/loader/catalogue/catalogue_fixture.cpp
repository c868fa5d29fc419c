#include "catalogue_fixture.h"

#include <qmtest/files.h>
#include <qmtest/wait.h>

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

void CatalogueFixture::waitPastFileTimes(const std::vector<std::string>& fileNames) const {
    std::vector<std::string> paths;
    for (const std::string& file : fileNames) {
        paths.push_back(modules() + "/" + file);
    }
    ASSERT_TRUE(qmtest::waitPastFileTimes(paths)) << "file clock stands still";
}

}  // namespace qmtest
