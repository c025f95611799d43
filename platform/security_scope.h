#pragma once

#include "platform/error.h"
#include "platform/file_url.h"

#include <string_view>

namespace corvane {

/// Bookmarks of user-granted folders and access to what they point at.
class SecurityScope {
  public:
    struct Resolved {
        FileURL url;
        bool isStale = false;
    };

    virtual ~SecurityScope() = default;
    /// Resolves bookmark data with security scope. Fails with a readable
    /// description when the data is malformed or the item is gone.
    virtual Expected<Resolved> resolveBookmark(std::string_view bookmarkData) = 0;
    /// True when access was granted. Every granted access must be ended by one
    /// `stopAccessing`.
    virtual bool startAccessing(const FileURL& url) = 0;
    virtual void stopAccessing(const FileURL& url) = 0;
};

} // namespace corvane
