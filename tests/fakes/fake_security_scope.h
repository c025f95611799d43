#pragma once

#include "platform/security_scope.h"
#include "tests/fakes/call_log.h"

#include <map>
#include <set>
#include <string>

namespace corvane::fakes {

/// Bookmarks as a table from bookmark data to a folder or an error. Access is
/// granted unless refused for a path, and counted per path.
class FakeSecurityScope final : public SecurityScope, Recorder {
  public:
    using Recorder::Recorder;

    /// Unknown data fails with "The bookmark data is not valid."
    Expected<Resolved> resolveBookmark(std::string_view data) override {
        record("security.resolveBookmark " + std::string(data));
        auto it = bookmarks.find(data);
        return it != bookmarks.end() ? it->second : makeError("The bookmark data is not valid.");
    }
    bool startAccessing(const FileURL& url) override {
        record("security.startAccessing " + url.path());
        if (refused.contains(url.path()))
            return false;
        ++counts_[url.path()];
        return true;
    }
    /// Ends one counted access; never goes below zero.
    void stopAccessing(const FileURL& url) override {
        record("security.stopAccessing " + url.path());
        if (counts_[url.path()] > 0)
            --counts_[url.path()];
    }
    /// Granted starts minus stops for `url`'s path.
    int accessCount(const FileURL& url) { return counts_[url.path()]; }

    /// What each bookmark's data resolves to.
    std::map<std::string, Expected<Resolved>, std::less<>> bookmarks;
    /// The paths `startAccessing` refuses.
    std::set<std::string> refused;

  private:
    std::map<std::string, int> counts_;
};

} // namespace corvane::fakes
