#include "companion/folders_group.h"

#include "companion/app_services.h"
#include "companion/model/granted_folders.h"
#include "companion/settings_window.h"
#include "extension/companion_contract.h"
#include "platform/settings.h"

#include <giomm/file.h>
#include <glibmm/convert.h>
#include <glibmm/miscutils.h>
#include <gtkmm/button.h>
#include <gtkmm/dialog.h>
#include <gtkmm/filechoosernative.h>
#include <gtkmm/window.h>

namespace corvane::companion {

namespace {

/// `path` with the home folder written as "~", as file managers show it.
std::string homeRelative(const std::string& path) {
    const std::string home = Glib::filename_display_name(Glib::get_home_dir());
    if (path.starts_with(home + "/"))
        return "~" + path.substr(home.size());
    return path;
}

} // namespace

FoldersGroup::FoldersGroup(AppServices& services, GtkWindow* parent, Toaster toast)
    : services_(services), parent_(parent), toast_(std::move(toast)),
      group_(adw_preferences_group_new()) {
    adw_preferences_group_set_title(ADW_PREFERENCES_GROUP(group_), "Granted Folders");
    adw_preferences_group_set_description(
        ADW_PREFERENCES_GROUP(group_),
        "The extension may create and rename files inside these folders.");
    auto* add = Gtk::make_managed<Gtk::Button>("_Add Folder…", true);
    add->set_valign(Gtk::Align::CENTER);
    labelFor(*add, "Add Folder…");
    add->signal_clicked().connect([this] { chooseFolder(); });
    adw_preferences_group_set_header_suffix(ADW_PREFERENCES_GROUP(group_), GTK_WIDGET(add->gobj()));
}

FoldersGroup::~FoldersGroup() = default;

void FoldersGroup::refresh() {
    for (GtkWidget* row : rows_)
        adw_preferences_group_remove(ADW_PREFERENCES_GROUP(group_), row);
    rows_.clear();
    std::optional<PlistValue> stored;
    if (auto suite = services_.openSharedSuite())
        stored = (*suite)->objectForKey(contract::kSecuredDirectoriesKey);
    const GrantedFolders list = grantedFolders(stored, services_.security());
    std::string empty = "No folders granted";
    if (list.wrongType)
        empty = "The stored folders were written by another program in a form that cannot "
                "be shown here";
    if (list.folders.empty())
        rows_.push_back(makeRow(empty));
    for (const GrantedFolder& folder : list.folders) {
        std::string problem = folder.problem;
        if (problem.empty() && list.unusableAsWhole)
            problem = "Not used: another entry of the list is not a folder bookmark";
        const std::string shown = folder.path.empty()
                                      ? folder.key
                                      : homeRelative(Glib::filename_display_name(folder.path));
        GtkWidget* row = makeRow("", problem);
        adw_preferences_row_set_use_underline(ADW_PREFERENCES_ROW(row), FALSE);
        adw_preferences_row_set_title(ADW_PREFERENCES_ROW(row), shown.c_str());
        auto* remove = Gtk::make_managed<Gtk::Button>();
        remove->set_icon_name("user-trash-symbolic");
        remove->set_valign(Gtk::Align::CENTER);
        remove->add_css_class("flat");
        remove->set_tooltip_text("Remove");
        labelFor(*remove, "Remove " + shown);
        remove->signal_clicked().connect([this, key = folder.key] { this->remove(key); });
        adw_action_row_add_suffix(ADW_ACTION_ROW(row), GTK_WIDGET(remove->gobj()));
        rows_.push_back(row);
    }
    for (GtkWidget* row : rows_)
        adw_preferences_group_add(ADW_PREFERENCES_GROUP(group_), row);
}

void FoldersGroup::chooseFolder() {
    Gtk::Window* parent = Glib::wrap(parent_);
    chooser_ = Gtk::FileChooserNative::create(
        "Add Folder", *parent, Gtk::FileChooser::Action::SELECT_FOLDER, "_Add", "_Cancel");
    chooser_->set_modal(true);
    chooser_->signal_response().connect([this](int response) {
        if (response == static_cast<int>(Gtk::ResponseType::ACCEPT))
            if (auto file = chooser_->get_file())
                add(file->get_path());
        chooser_.reset();
    });
    chooser_->show();
}

void FoldersGroup::add(const std::string& path) {
    if (path.empty()) {
        toast_("Only folders on this computer can be granted");
        return;
    }
    auto bookmark = services_.makeBookmark(path);
    if (!bookmark) {
        toast_(bookmark.error().description);
        return;
    }
    const std::string shown = Glib::filename_display_name(path).raw();
    auto outcome = editSharedValue(
        services_, contract::kSecuredDirectoriesKey,
        [&](std::optional<PlistValue>& value) { return addGrant(value, shown, *bookmark); },
        toast_);
    if (outcome == EditOutcome::Unchanged)
        toast_("This folder is granted already");
    refresh();
}

void FoldersGroup::remove(const std::string& key) {
    editSharedValue(
        services_, contract::kSecuredDirectoriesKey,
        [&](std::optional<PlistValue>& value) { return removeGrant(value, key); }, toast_);
    refresh();
}

} // namespace corvane::companion
