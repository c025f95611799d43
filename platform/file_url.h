#pragma once

#include <compare>
#include <string>
#include <string_view>

namespace corvane {

/// An absolute file-system location. The path is absolute, without a trailing
/// slash except for the root "/". Paths are byte strings: on Linux a file name
/// need not be valid UTF-8.
class FileURL {
  public:
    FileURL() : path_("/") {}
    /// Takes an absolute path; trailing slashes are dropped (the root stays "/").
    static FileURL fromPath(std::string_view path);

    const std::string& path() const { return path_; }
    /// The last component; "/" for the root.
    std::string lastPathComponent() const;
    /// The text after the last dot of the last component, empty when there is none.
    std::string pathExtension() const;
    /// The containing folder; the root is its own parent.
    FileURL parent() const;
    FileURL appending(std::string_view component) const;

    auto operator<=>(const FileURL&) const = default;

  private:
    explicit FileURL(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

} // namespace corvane
