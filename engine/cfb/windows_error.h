// The Windows side of the file seam reports errno values, as the POSIX side does, so that
// callers and fakes see one vocabulary. Private to engine/cfb.
#pragma once
#ifdef _WIN32

#include <cstdint>

namespace msi::cfb {

// The errno value closest to a Windows error code (GetLastError()).
int errnoFromWindows(unsigned long error);

// A file time (100 ns since 1601) as nanoseconds since 1970, and back.
std::int64_t unixNsFromFileTime(std::uint64_t fileTime);
std::uint64_t fileTimeFromUnixNs(std::int64_t ns);

}  // namespace msi::cfb

#endif  // _WIN32
