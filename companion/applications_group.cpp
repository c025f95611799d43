#include "companion/applications_group.h"

#include "companion/app_services.h"
#include "extension/actions/terminal_launch.h"
#include "platform/linux/desktop_applications.h"

#include <gio/gdesktopappinfo.h>
#include <glib/gstdio.h>
#include <glibmm/fileutils.h>
#include <glibmm/miscutils.h>

#include <algorithm>

namespace corvane::companion {

namespace {

/// The installed terminals: desktop entries of the TerminalEmulator category.
std::vector<ApplicationsGroup::Choice> installedTerminals() {
    std::vector<ApplicationsGroup::Choice> found;
    GList* all = g_app_info_get_all();
    for (GList* item = all; item; item = item->next) {
        if (!G_IS_DESKTOP_APP_INFO(item->data))
            continue;
        auto* info = G_DESKTOP_APP_INFO(item->data);
        const char* categories = g_desktop_app_info_get_categories(info);
        const char* program = g_app_info_get_executable(G_APP_INFO(info));
        if (!categories || !program || !std::string_view(categories).contains("TerminalEmulator"))
            continue;
        std::string exec = execLineFor(ApplicationRole::Terminal, program);
        if (std::ranges::none_of(found, [&](const auto& choice) { return choice.exec == exec; }))
            found.push_back({g_app_info_get_display_name(G_APP_INFO(info)), exec});
    }
    g_list_free_full(all, g_object_unref);
    std::ranges::sort(found, {}, &ApplicationsGroup::Choice::name);
    return found;
}

/// The known editors whose program is on PATH.
std::vector<ApplicationsGroup::Choice> installedEditors() {
    std::vector<ApplicationsGroup::Choice> found;
    for (const KnownEditor& editor : knownEditors())
        if (!Glib::find_program_in_path(std::string(editor.program)).empty())
            found.push_back(
                {std::string(editor.name), execLineFor(ApplicationRole::Editor, editor.program)});
    return found;
}

std::string bundlePath(std::string_view group) {
    return "/Applications/" + std::string(group) + ".app";
}

} // namespace

ApplicationsGroup::ApplicationsGroup(AppServices& services, Toaster toast)
    : services_(services), toast_(std::move(toast)), group_(adw_preferences_group_new()) {
    adw_preferences_group_set_title(ADW_PREFERENCES_GROUP(group_), "Applications");
    adw_preferences_group_set_description(ADW_PREFERENCES_GROUP(group_),
                                          "The programs the menu's commands open.");
    for (Role& role : roles_) {
        role.row = adw_combo_row_new();
        const char* title = role.role == ApplicationRole::Terminal ? "_Terminal" : "_Editor";
        adw_preferences_row_set_title(ADW_PREFERENCES_ROW(role.row), title);
        adw_preferences_row_set_use_underline(ADW_PREFERENCES_ROW(role.row), TRUE);
        using Target = std::pair<ApplicationsGroup*, Role*>;
        g_signal_connect_data(
            role.row, "notify::selected", G_CALLBACK(+[](GObject*, GParamSpec*, gpointer data) {
                auto* target = static_cast<Target*>(data);
                if (!target->first->updating_)
                    target->first->choose(*target->second);
            }),
            new Target(this, &role),
            [](gpointer data, GClosure*) { delete static_cast<Target*>(data); }, GConnectFlags{});
        adw_preferences_group_add(ADW_PREFERENCES_GROUP(group_), role.row);
    }
}

void ApplicationsGroup::refresh() {
    std::string ini;
    try {
        ini = Glib::file_get_contents(services_.applicationsFile());
    } catch (const Glib::FileError&) {
        // Missing or unreadable: the defaults apply, and the rows say what starts.
    }
    updating_ = true;
    for (Role& role : roles_)
        fill(role, ini);
    updating_ = false;
}

void ApplicationsGroup::fill(Role& role, const std::string& ini) {
    role.choices = {{"Automatic", std::nullopt}};
    for (Choice& choice :
         role.role == ApplicationRole::Terminal ? installedTerminals() : installedEditors())
        role.choices.push_back(std::move(choice));
    const std::optional<std::string> stored = storedExecLine(ini, role.role);
    auto selected = std::ranges::find(role.choices, stored, &Choice::exec);
    if (selected == role.choices.end()) {
        role.choices.push_back({"Custom: " + *stored, stored});
        selected = role.choices.end() - 1;
    }
    GtkStringList* names = gtk_string_list_new(nullptr);
    for (const Choice& choice : role.choices)
        gtk_string_list_append(names, choice.name.c_str());
    adw_combo_row_set_model(ADW_COMBO_ROW(role.row), G_LIST_MODEL(names));
    g_object_unref(names);
    adw_combo_row_set_selected(ADW_COMBO_ROW(role.row), selected - role.choices.begin());
    describe(role);
}

void ApplicationsGroup::choose(Role& role) {
    const guint index = adw_combo_row_get_selected(ADW_COMBO_ROW(role.row));
    if (index >= role.choices.size())
        return;
    const std::string file = services_.applicationsFile();
    const std::optional<std::string>& exec = role.choices[index].exec;
    // The list stays as it is while the person uses it: rebuilding it from
    // here makes the row select again, and so choose again.
    auto revert = [&](const std::string& why, const std::string& ini) {
        toast_("Not saved: " + why);
        auto stored =
            std::ranges::find(role.choices, storedExecLine(ini, role.role), &Choice::exec);
        updating_ = true;
        adw_combo_row_set_selected(ADW_COMBO_ROW(role.row), stored == role.choices.end()
                                                                ? 0
                                                                : stored - role.choices.begin());
        updating_ = false;
    };
    std::string ini;
    try {
        ini = Glib::file_get_contents(file);
    } catch (const Glib::FileError& error) {
        // A file that exists but cannot be read is never replaced.
        if (error.code() != Glib::FileError::NO_SUCH_ENTITY)
            return revert(error.what(), ini);
    }
    if (storedExecLine(ini, role.role) == exec)
        return;
    try {
        g_mkdir_with_parents(Glib::path_get_dirname(file).c_str(), 0700);
        Glib::file_set_contents(file, withExecLine(ini, role.role, exec));
    } catch (const Glib::FileError& error) {
        return revert(error.what(), ini);
    }
    describe(role);
}

void ApplicationsGroup::describe(Role& role) {
    DesktopApplications& applications = services_.applications();
    std::string bundle(kTerminalApplication.preferredPath);
    std::string command = "“New Terminal Here”";
    if (role.role == ApplicationRole::Editor) {
        // The extension prefers the stable edition when its program can start.
        const auto groups = groupsOf(ApplicationRole::Editor);
        bundle = bundlePath(applications.canStart(bundlePath(groups[0])) ||
                                    !applications.canStart(bundlePath(groups[1]))
                                ? groups[0]
                                : groups[1]);
        command = "“Open in Visual Studio Code”";
    }
    auto started = applications.commandFor(bundle, {Glib::get_home_dir()});
    const std::string text = started
                                 ? command + " starts " + started->argv.front()
                                 : command + " finds no program: " + started.error().description;
    adw_action_row_set_subtitle(ADW_ACTION_ROW(role.row), text.c_str());
}

} // namespace corvane::companion
