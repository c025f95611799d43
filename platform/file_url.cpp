#include "platform/file_url.h"

namespace corvane {

FileURL FileURL::fromPath(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return FileURL(path.empty() ? std::string(1, '/') : std::string(path));
}

std::string FileURL::lastPathComponent() const {
    if (path_ == "/")
        return "/";
    auto slash = path_.rfind('/');
    return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

std::string FileURL::pathExtension() const {
    std::string last = lastPathComponent();
    auto dot = last.rfind('.');
    return dot == std::string::npos ? std::string() : last.substr(dot + 1);
}

FileURL FileURL::parent() const {
    auto slash = path_.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return FileURL("/");
    return FileURL(path_.substr(0, slash));
}

FileURL FileURL::appending(std::string_view component) const {
    std::string joined;
    joined.reserve(path_.size() + 1 + component.size());
    joined.append(path_);
    if (joined.back() != '/')
        joined.push_back('/');
    joined.append(component);
    return fromPath(joined);
}

} // namespace corvane
