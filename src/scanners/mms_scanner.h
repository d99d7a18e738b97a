// MMS in mmssms.db: a message of table `pdu`, its sender and recipients in `addr`, its texts and
// attachments in `part`.
#pragma once

#include "joined_scanner.h"

namespace pc {

class MmsScanner final : public JoinedScanner {
  public:
    CategoryCode code() const override { return CategoryCode::Mms; }

  protected:
    std::vector<std::string> tables() const override { return {"pdu", "part", "addr"}; }
    bool holds(const TableGatherer& gathered) const override;
    void join(const TableGatherer& gathered, const std::string& path) override;
};

// "接收", "发送", "草稿", "待发送" for the boxes 1 to 4; "其它" for any other.
const char* mmsBoxText(std::int64_t box);

}  // namespace pc
