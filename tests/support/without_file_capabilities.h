// Makes file permissions count for this process even when it runs as root (as CI does): the
// capabilities that override them are dropped from the effective set while the object lives.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace pc::testing {

class WithoutFileCapabilities {
  public:
    WithoutFileCapabilities() {
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            lowered[cap / 32].effective &= ~(1u << (cap % 32));
        active_ = ::syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~WithoutFileCapabilities() {
        if (active_) ::syscall(SYS_capset, &header_, saved_);
    }
    WithoutFileCapabilities(const WithoutFileCapabilities&) = delete;
    WithoutFileCapabilities& operator=(const WithoutFileCapabilities&) = delete;

  private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

}  // namespace pc::testing
