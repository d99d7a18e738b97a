// Google Messages' bugle_db: a message of table `messages`, its texts and attachments in `parts`,
// its sender in `participants`, its conversation in `conversations`.
#pragma once

#include "joined_scanner.h"

namespace pc {

class GoogleMessagesScanner final : public JoinedScanner {
  public:
    CategoryCode code() const override { return CategoryCode::GoogleMessages; }

  protected:
    std::vector<std::string> tables() const override {
        return {"messages", "parts", "participants", "conversations"};
    }
    bool holds(const TableGatherer& gathered) const override;
    void join(const TableGatherer& gathered, const std::string& path) override;
};

// The direction of a message_status: 1 to 99 the phone's own ("发送", "草稿" for 3, "发送失败"
// for 8), 100 and up received ("接收").
const char* bugleStatusText(std::int64_t status);

}  // namespace pc
