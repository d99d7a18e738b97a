// Large generated databases for the benchmarks, built once and kept in the build folder.
#pragma once

#include <string>

namespace pc::bench {

// A current-layout mmssms.db of at least `megabytes` MB.
std::string smsDatabaseOf(unsigned megabytes);

}  // namespace pc::bench
