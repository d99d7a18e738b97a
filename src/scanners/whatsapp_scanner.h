// WhatsApp's msgstore.db: the new layout (a message of table `message`, its chat in `chat`, the
// addresses in `jid`) and the old one (table `messages`, the chat's address in each message); a
// file may hold both, a message listed once. Names come from wa.db beside it (`wa_contacts`).
#pragma once

#include "joined_scanner.h"

namespace pc {

class WhatsAppScanner final : public JoinedScanner {
  public:
    CategoryCode code() const override { return CategoryCode::WhatsApp; }

  protected:
    std::vector<std::string> tables() const override {
        return {"message", "chat", "jid", "messages", "chat_list"};
    }
    bool holds(const TableGatherer& gathered) const override;
    void join(const TableGatherer& gathered, const std::string& path) override;
};

}  // namespace pc
