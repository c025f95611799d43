#include "extension/actions/copy_path.h"

namespace corvane {

std::string joinedPaths(const std::vector<FileURL>& urls) {
    std::string text;
    for (const FileURL& url : urls) {
        // A path is never empty, so only the first one finds the text empty.
        if (!text.empty())
            text += '\n';
        text += url.path();
    }
    return text;
}

} // namespace corvane
