#pragma once

// The granted folders: the bookmarks under "securedDirectories" as a list
// with "Add Folder…" and a remove button per folder.

#include "companion/adw_rows.h"

#include <glibmm/refptr.h>

#include <vector>

namespace Gtk {
class FileChooserNative;
}

namespace corvane::companion {

class AppServices;

class FoldersGroup {
  public:
    /// The file chooser opens over `parent`; `services` must outlive the group.
    FoldersGroup(AppServices& services, GtkWindow* parent, Toaster toast);
    ~FoldersGroup();

    /// The AdwPreferencesGroup.
    GtkWidget* widget() const { return group_; }
    /// Lists the folders as the shared settings hold them now.
    void refresh();

  private:
    void chooseFolder();
    void add(const std::string& path);
    void remove(const std::string& key);

    AppServices& services_;
    GtkWindow* parent_;
    Toaster toast_;
    GtkWidget* group_;
    std::vector<GtkWidget*> rows_;
    Glib::RefPtr<Gtk::FileChooserNative> chooser_;
};

} // namespace corvane::companion
