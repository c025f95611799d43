#pragma once

#include "platform/alert.h"
#include "tests/fakes/call_log.h"

#include <vector>

namespace corvane::fakes {

/// Keeps and records each alert shown.
struct FakeAlertPresenter final : AlertPresenter, Recorder {
    using Recorder::Recorder;
    void runModal(const Alert& alert) override {
        record("alerts.runModal " + alert.messageText);
        shown.push_back(alert);
    }
    std::vector<Alert> shown;
};

} // namespace corvane::fakes
