#pragma once

#include <memory>

#include "category_scanner.h"

namespace pc {

// The scanner of a category.
std::unique_ptr<CategoryScanner> scannerFor(CategoryCode code);

}  // namespace pc
