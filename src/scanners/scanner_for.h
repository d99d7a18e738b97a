#pragma once

#include <memory>

#include "category_scanner.h"

namespace pc {

class TSQLiteDatabase;

// The scanner of a category.
std::unique_ptr<CategoryScanner> scannerFor(CategoryCode code);

// Whether the database holds the category's rows: its table (for the call log also a Samsung's
// logs; for WhatsApp either layout). Throws ESQLiteException as the database does.
bool holdsCategory(TSQLiteDatabase& db, CategoryCode code);

}  // namespace pc
