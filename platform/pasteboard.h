#pragma once

#include "platform/error.h"

#include <string>
#include <string_view>

namespace corvane {

/// The general pasteboard, holding plain text.
class Pasteboard {
  public:
    virtual ~Pasteboard() = default;

    /// Empties the pasteboard.
    virtual Expected<void> clearContents() = 0;
    /// Stores `text` exactly as given (bytes need not be UTF-8), replacing
    /// what was there.
    virtual Expected<void> setString(std::string_view text) = 0;
    /// What a paste gives now, exactly as stored; empty after `clearContents`.
    virtual Expected<std::string> string() = 0;
};

} // namespace corvane
