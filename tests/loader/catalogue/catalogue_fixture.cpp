#include "catalogue_fixture.h"

#include <sys/stat.h>

#include <qmtest/files.h>

#include <algorithm>
#include <chrono>
#include <ctime>

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
    auto ns = [](const timespec& t) { return t.tv_sec * 1'000'000'000LL + t.tv_nsec; };
    long long latest = 0;
    for (const std::string& file : fileNames) {
        struct stat st {};
        if (::stat((modules() + "/" + file).c_str(), &st) == 0) {
            latest = std::max({latest, ns(st.st_mtim), ns(st.st_ctim)});
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (timespec now{}; ::clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0 && ns(now) <= latest;) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "file clock stands still";
    }
}

}  // namespace qmtest
