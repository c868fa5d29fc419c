#pragma once
// The process's environment variables, read here for every part of the platform, so that the
// registry, the environment library and the host read them one way.
#include <optional>
#include <string>

namespace qmsys {

// The value of the environment variable name; nullopt when it is not set. An empty value is a
// value: callers that treat it as unset say so.
std::optional<std::string> environmentVariable(const char* name);

}  // namespace qmsys
