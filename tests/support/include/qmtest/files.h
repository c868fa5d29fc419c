#pragma once
#include <string>

namespace qmtest {

// Writes content to path, creating missing folders.
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);

}  // namespace qmtest
