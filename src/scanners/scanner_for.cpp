#include "scanner_for.h"

#include <stdexcept>

#include "SQLiteTable3.h"
#include "call_log_scanner.h"
#include "contacts_scanner.h"
#include "google_messages_scanner.h"
#include "mms_scanner.h"
#include "sms_scanner.h"
#include "whatsapp_scanner.h"

namespace pc {

std::unique_ptr<CategoryScanner> scannerFor(CategoryCode code) {
    switch (code) {
        case CategoryCode::Contacts: return std::make_unique<ContactsScanner>();
        case CategoryCode::Sms: return std::make_unique<SmsScanner>();
        case CategoryCode::CallLog: return std::make_unique<CallLogScanner>();
        case CategoryCode::Mms: return std::make_unique<MmsScanner>();
        case CategoryCode::GoogleMessages: return std::make_unique<GoogleMessagesScanner>();
        case CategoryCode::WhatsApp: return std::make_unique<WhatsAppScanner>();
    }
    throw std::invalid_argument("category");
}

bool holdsCategory(TSQLiteDatabase& db, CategoryCode code) {
    switch (code) {
        case CategoryCode::CallLog:
            return db.HasTable("calls") || db.HasTable(samsungLogsTable().table);
        case CategoryCode::WhatsApp:
            return (db.HasTable("message") && db.HasTable("jid")) ||
                   (db.HasTable("messages") && db.HasTable("chat_list"));
        default: return db.HasTable(profileOf(code).signature.table);
    }
}

}  // namespace pc
