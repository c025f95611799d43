#pragma once

#include "platform/alert.h"
#include "tests/fakes/call_log.h"

namespace corvane::fakes {

/// Records each alert shown.
struct FakeAlertPresenter final : AlertPresenter, Recorder {
    using Recorder::Recorder;
    void runModal(const Alert& alert) override { record("alerts.runModal " + alert.messageText); }
};

} // namespace corvane::fakes
