#pragma once
#include <string>

namespace qmenv::detail {

// $HOME, else the account's home folder, else "/".
std::string homeFolder();

}  // namespace qmenv::detail
