// Dolphin's side of its module: KIO's own KFileItemActions finds the plugin
// in Qt's plugin path and asks it, as Dolphin's context menus do.

#include "tests/filemanagers/module_host.h"

#include <KAbstractFileItemActionPlugin>
#include <KFileItem>
#include <KFileItemActions>
#include <KFileItemListProperties>
#include <KIO/UDSEntry>
#include <QApplication>
#include <QMenu>

#include <sys/stat.h>

#include <filesystem>
#include <map>

namespace corvane::testing {
namespace {

/// A URL that keeps a path's bytes, percent-encoded.
QUrl urlOf(const std::string& path) {
    if (path.find("://") != path.npos)
        return QUrl(QString::fromStdString(path));
    char* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    QUrl url = QUrl::fromEncoded(uri);
    g_free(uri);
    return url;
}

class DolphinHost : public ModuleHost {
  public:
    explicit DolphinHost(const std::string& path) {
        std::filesystem::create_directories(plugins_ / "kf5/kfileitemaction");
        std::filesystem::copy_file(path, plugins_ / "kf5/kfileitemaction/corvane-dolphin.so");
        qputenv("QT_PLUGIN_PATH", plugins_.path().c_str());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "dolphin";
        static char* argv[] = {name, nullptr};
        // Like Dolphin's, it lasts as long as the process.
        [[maybe_unused]] static QApplication* application = new QApplication(argc, argv);
    }

    void openMenus(const std::vector<std::string>& paths, const std::string& folder) override {
        KFileItemList selection;
        // Dolphin's items know their type from the listing.
        for (const std::string& path : paths)
            selection << KFileItem(urlOf(path), QStringLiteral("application/octet-stream"),
                                   S_IFREG);
        // Dolphin hands a background over as the folder's item from its own
        // listing, which is named ".".
        KIO::UDSEntry entry;
        entry.fastInsert(KIO::UDSEntry::UDS_NAME, QStringLiteral("."));
        entry.fastInsert(KIO::UDSEntry::UDS_FILE_TYPE, S_IFDIR);
        for (auto& [kind, items] :
             {std::pair{MenuKind::Selection, selection},
              std::pair{MenuKind::Background, KFileItemList{KFileItem(entry, urlOf(folder))}}}) {
            Menu& menu = menus_[kind] = Menu();
            if (kind == MenuKind::Background && folder.empty())
                continue;
            menu.actions->setItemListProperties(KFileItemListProperties(items));
            menu.actions->addActionsTo(menu.menu.get(),
                                       KFileItemActions::MenuActionSource::Plugins);
        }
    }

    Items items(MenuKind kind) const override {
        Items shown;
        for (QAction* action : ours(kind))
            shown.push_back({action->isSeparator() ? "---" : action->text().toStdString(),
                             action->isEnabled()});
        return shown;
    }

    bool choose(MenuKind kind, const std::string& label) override {
        for (QAction* action : ours(kind)) {
            if (action->text().toStdString() == label) {
                action->trigger();
                return true;
            }
        }
        return false;
    }

    std::optional<int> updates() const override { return std::nullopt; }

  private:
    struct Menu {
        std::unique_ptr<KFileItemActions> actions = std::make_unique<KFileItemActions>();
        std::unique_ptr<QMenu> menu = std::make_unique<QMenu>();
    };

    /// The menu's actions that came from a plugin (KIO may add its own).
    QList<QAction*> ours(MenuKind kind) const {
        QList<QAction*> found;
        for (QAction* action : menus_.at(kind).menu->actions())
            if (action->parent() != nullptr &&
                action->parent()->inherits("KAbstractFileItemActionPlugin"))
                found << action;
        return found;
    }

    TempDir plugins_;
    std::map<MenuKind, Menu> menus_;
};

} // namespace

std::unique_ptr<ModuleHost> loadDolphinModule(const std::string& path) {
    return std::make_unique<DolphinHost>(path);
}

} // namespace corvane::testing
