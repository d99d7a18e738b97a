#include "scanner_for.h"

#include <stdexcept>

#include "call_log_scanner.h"
#include "contacts_scanner.h"
#include "sms_scanner.h"

namespace pc {

std::unique_ptr<CategoryScanner> scannerFor(CategoryCode code) {
    switch (code) {
        case CategoryCode::Sms: return std::make_unique<SmsScanner>();
        default: break;
    }
    throw std::invalid_argument("no scanner for this category yet");
}

}  // namespace pc
