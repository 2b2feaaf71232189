// The running system, local time and a millisecond tick count.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace os {

// "sysname release machine" from uname(), e.g. "Linux 6.1.0-13-amd64 x86_64";
// empty when uname() fails.
std::string SystemDescription();

// Local calendar time of t (localtime_r); false when it cannot be converted.
bool LocalTime(time_t t, struct tm* out);

// Milliseconds of a monotonic clock, for time-outs and unique numbers.
int64_t TickCountMs();

}  // namespace os
