#pragma once
// The product information shown under the module grid: the installation's product name and
// the CAD products it works with, read from a small text file of the installation.
#include <optional>
#include <string>

namespace qm::ui {

struct ProductInfo {
    std::string productName;
    std::string products;  // " and " already shown as " - "
};

// The installation folder without its last 7 characters (the program folder's name), then
// "Configuration/Default/Meshra.Version.txt".
std::string ProductInfoFile(const std::string& appPath);

// Reads the file as 8-bit text (each byte one character, shown as Latin-1): the first line,
// at most 259 characters of it, is the product name, and the next read, to the end of its
// line, the products. Line ends are dropped. nullopt when the file does not open.
std::optional<ProductInfo> ReadProductInfo(const std::string& file);

}  // namespace qm::ui
