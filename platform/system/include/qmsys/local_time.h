#pragma once
// The local time of day, as the user's time zone gives it.
#include <ctime>

namespace qmsys {

// t in the local time zone; thread-safe (no shared buffer). All fields 0 when the system
// cannot convert t.
std::tm localTime(std::time_t t);

}  // namespace qmsys
