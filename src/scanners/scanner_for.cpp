#include "scanner_for.h"

#include <stdexcept>

#include "call_log_scanner.h"
#include "contacts_scanner.h"
#include "sms_scanner.h"

namespace pc {

std::unique_ptr<CategoryScanner> scannerFor(CategoryCode code) {
    switch (code) {
        case CategoryCode::Contacts: return std::make_unique<ContactsScanner>();
        case CategoryCode::Sms: return std::make_unique<SmsScanner>();
        case CategoryCode::CallLog: return std::make_unique<CallLogScanner>();
    }
    throw std::invalid_argument("category");
}

}  // namespace pc
