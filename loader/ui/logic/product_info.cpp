#include "ui/logic/product_info.h"

#include <qmsys/files.h>
#include <qmsys/text.h>

#include <cstdio>

namespace qm::ui {
namespace {

constexpr std::size_t kFirstLineMax = 259;

std::string latin1ToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        qmsys::appendUtf8(out, static_cast<unsigned char>(
                                   c));  // each Latin-1 byte is the code point of the same number
    }
    return out;
}

// Reads up to max characters or through the end of the line, whichever comes first (as a
// buffer of max + 1 does), without the line end.
std::string readLine(std::FILE* file, std::size_t max) {
    std::string line;
    int c = 0;
    while (line.size() < max && (c = std::fgetc(file)) != EOF) {
        if (c == '\n') {
            break;
        }
        line += static_cast<char>(c);
    }
    while (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return latin1ToUtf8(line);
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

std::string ProductInfoFile(const std::string& appPath) {
    const std::size_t keep = appPath.size() > 7 ? appPath.size() - 7 : 0;
    return appPath.substr(0, keep) + "Configuration/Default/Meshra.Version.txt";
}

std::optional<ProductInfo> ReadProductInfo(const std::string& file) {
    const qmsys::StdioFile handle = qmsys::openStdioFile(file, "rb");
    if (!handle) {
        return std::nullopt;
    }
    ProductInfo info;
    info.productName = readLine(handle.get(), kFirstLineMax);
    info.products = readLine(handle.get(), std::string::npos);
    replaceAll(info.products, " and ", " - ");
    return info;
}

}  // namespace qm::ui
