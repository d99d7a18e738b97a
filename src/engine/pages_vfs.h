// SQLite reading a database through the page layer: an SQLite VFS whose one file is the newest
// state of a database, served page by page, read-only, with the write-ahead-log markers read as 1.
// No journal, log or lock file exists for it, so SQLite rolls nothing back, checkpoints nothing,
// creates nothing, and reads only the pages a query needs.
#pragma once

#include <string>

#include "database_pages.h"

struct sqlite3;

namespace pc {

// Opens a read-only connection on `pages`, which must outlive it; `*db` is set even when the open
// fails, as sqlite3_open_v2 sets it. Returns SQLite's result code.
int openPagesConnection(const DatabasePages& pages, sqlite3** db);

}  // namespace pc
