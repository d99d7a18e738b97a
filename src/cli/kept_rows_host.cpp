#include "kept_rows_host.h"

#include <iostream>

#include "category_profile.h"

namespace pc::cli {

void KeptRowsHost::started(CategoryCode code) {
    if (!quiet_) std::cerr << profileOf(code).branch << ": 扫描...\n";
}

void KeptRowsHost::finished(CategoryCode code, std::int32_t found, std::int32_t deleted) {
    if (!quiet_)
        std::cerr << profileOf(code).branch << ": " << found << " 条, 其中 " << deleted
                  << " 条删除\n";
}

void KeptRowsHost::failed(CategoryCode code, const ScanFailure& failure) {
    std::cerr << profileOf(code).branch << ": "
              << (failure.detail.empty() ? "扫描失败" : failure.detail) << "\n";
}

}  // namespace pc::cli
