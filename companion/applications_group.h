#pragma once

// The terminal and the editor: chosen from the programs installed, written
// to applications.ini, with the program each command will start.

#include "companion/adw_rows.h"
#include "companion/model/applications_config.h"

#include <array>
#include <string>
#include <vector>

namespace corvane::companion {

class AppServices;

class ApplicationsGroup {
  public:
    /// `services` must outlive the group.
    ApplicationsGroup(AppServices& services, Toaster toast);

    /// The AdwPreferencesGroup.
    GtkWidget* widget() const { return group_; }
    /// Lists the installed programs and the choices applications.ini holds now.
    void refresh();

    /// A program offered for a role.
    struct Choice {
        std::string name;
        /// The Exec line; none for the built-in default.
        std::optional<std::string> exec;
    };

  private:
    struct Role {
        ApplicationRole role;
        GtkWidget* row = nullptr;
        std::vector<Choice> choices;
    };

    void fill(Role& role, const std::string& ini);
    void choose(Role& role);
    void describe(Role& role);

    AppServices& services_;
    Toaster toast_;
    GtkWidget* group_;
    std::array<Role, 2> roles_{Role{ApplicationRole::Terminal, nullptr, {}},
                               Role{ApplicationRole::Editor, nullptr, {}}};
    bool updating_ = false;
};

} // namespace corvane::companion
