#include "platform/file_url.h"

namespace corvane {

FileURL FileURL::fromPath(std::string_view path) {
    std::string p(path);
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (p.empty())
        p = "/";
    return FileURL(std::move(p));
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
    if (path_ == "/")
        return fromPath("/" + std::string(component));
    return fromPath(path_ + "/" + std::string(component));
}

} // namespace corvane
