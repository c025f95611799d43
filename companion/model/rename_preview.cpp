#include "companion/model/rename_preview.h"

#include "extension/batchrename/rename_engine.h"
#include "platform/file_manager.h"

#include <set>

namespace corvane::companion {

namespace {

/// `disk` with the moves made so far applied on paper: a moved item's old
/// path is free, its new one taken. Nothing is written.
class PaperMoves final : public FileManager {
  public:
    explicit PaperMoves(FileManager& disk) : disk_(disk) {}

    bool fileExists(std::string_view path) override {
        const std::string key(path);
        if (taken_.contains(key))
            return true;
        return !freed_.contains(key) && disk_.fileExists(path);
    }
    Expected<void> moveItem(const FileURL& from, const FileURL& to) override {
        if (!fileExists(from.path()))
            return makeError("No such file or directory", std::errc::no_such_file_or_directory);
        if (fileExists(to.path()))
            return makeError("File exists", std::errc::file_exists);
        taken_.erase(from.path());
        freed_.insert(from.path());
        freed_.erase(to.path());
        taken_.insert(to.path());
        moves_.push_back({from.path(), to.lastPathComponent()});
        return {};
    }
    Expected<void> createFileAtomically(const FileURL&, std::string_view) override {
        return makeError("A preview writes no files", std::errc::read_only_file_system);
    }
    std::optional<PlistDictionary> readPropertyListDictionary(const FileURL&) override {
        return std::nullopt;
    }

    /// Each move made, in order: the item's path and its new name.
    const std::vector<std::pair<std::string, std::string>>& moves() const { return moves_; }

  private:
    FileManager& disk_;
    std::set<std::string> taken_, freed_;
    std::vector<std::pair<std::string, std::string>> moves_;
};

} // namespace

BaseNameProblem checkBaseName(std::string_view baseName) {
    if (baseName.empty())
        return BaseNameProblem::Empty;
    if (baseName.find('/') != std::string_view::npos)
        return BaseNameProblem::HasSlash;
    if (baseName == "." || baseName == "..")
        return BaseNameProblem::DotOrDotDot;
    return BaseNameProblem::None;
}

std::vector<PreviewRow> previewRename(const std::vector<std::string>& paths,
                                      std::string_view baseName, FileManager& disk,
                                      SecurityScope& security) {
    std::vector<FileURL> items;
    for (const std::string& path : paths)
        items.push_back(FileURL::fromPath(path));
    PaperMoves paper(disk);
    RenameEngine(paper, security).rename(items, baseName, 1, {});
    // The engine tries the items in this order and records a move for each
    // one it moved, so the two lists meet in step.
    std::vector<PreviewRow> rows;
    auto move = paper.moves().begin();
    for (const FileURL& item : sortedForRenaming(items)) {
        PreviewRow row{item.path(), std::nullopt};
        if (move != paper.moves().end() && move->first == item.path())
            row.newName = (move++)->second;
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace corvane::companion
