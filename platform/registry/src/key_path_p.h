#pragma once
// Key paths are registry syntax: components separated by '\'. Leading, trailing and doubled
// separators are tolerated and dropped, so "\\SOFTWARE\\\\Foo\\" names "SOFTWARE\\Foo". The
// empty path names the hive's root key.
#include <string>
#include <string_view>
#include <vector>

namespace qmreg::detail {

std::vector<std::string> splitKeyPath(std::string_view path);
std::string normalizeKeyPath(std::string_view path);
// True when path has no separator to drop, so that it is its own normal form.
bool isNormalKeyPath(std::string_view path);

}  // namespace qmreg::detail
