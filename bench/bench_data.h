// Large generated databases for the benchmarks, built once and kept in the build folder.
#pragma once

#include <string>

namespace pc::bench {

// A current-layout mmssms.db of at least `megabytes` MB.
std::string smsDatabaseOf(unsigned megabytes);

// The same messages twice, about `megabytes` MB each: in a database whose changes all lie in its
// -wal (Android 9 settings), and in one where they were checkpointed into the file.
struct LogPair {
    std::string inLog;
    std::string checkpointed;
};
LogPair smsLogPairOf(unsigned megabytes);

// A copy of the database at `path` with one byte inserted after its header: no page lines up
// with what the header says any more.
std::string shiftedCopyOf(const std::string& path);

}  // namespace pc::bench
