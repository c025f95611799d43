#pragma once

#include "platform/file_url.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace corvane::testing {

/// A fresh folder under the system's temporary folder, removed with all it
/// holds when destroyed. Every test, fake and benchmark that needs files on
/// disk takes one of these.
class TempDir {
  public:
    TempDir() {
        auto pattern = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        // Canonical, so paths the code under test derives compare equal.
        path_ = std::filesystem::canonical(pattern).string();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    FileURL url() const { return FileURL::fromPath(path_); }
    /// `path()` joined with `relative`.
    std::string operator/(std::string_view relative) const {
        return path_ + "/" + std::string(relative);
    }
    /// Creates the folder `relative` (and its parents) inside, and returns it.
    FileURL makeFolder(std::string_view relative) const {
        FileURL folder = url().appending(relative);
        std::filesystem::create_directories(folder.path());
        return folder;
    }
    /// Writes `contents` to the file `relative` inside (its folder must exist).
    void writeFile(std::string_view relative, std::string_view contents) const {
        std::ofstream out(*this / relative, std::ios::binary | std::ios::trunc);
        if (!(out << contents).flush())
            throw std::runtime_error("cannot write " + std::string(relative));
    }
    /// The bytes of the file `relative` inside; empty when it cannot be read.
    std::string readFile(std::string_view relative) const {
        std::ifstream in(*this / relative, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

  private:
    std::string path_;
};

} // namespace corvane::testing
