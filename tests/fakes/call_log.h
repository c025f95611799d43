#pragma once

#include <string>
#include <vector>

namespace corvane::fakes {

/// What the fakes were asked, in order, so a test can check the order of
/// steps across services. Each entry is "<service>.<operation>" with its
/// argument after a blank where there is one, e.g. "security.stopAccessing /a".
using CallLog = std::vector<std::string>;

/// What a recording fake shares: the call log it appends to, if any.
class Recorder {
  public:
    explicit Recorder(CallLog* calls = nullptr) : calls_(calls) {}

  protected:
    void record(std::string entry) const {
        if (calls_)
            calls_->push_back(std::move(entry));
    }

  private:
    CallLog* calls_;
};

} // namespace corvane::fakes
