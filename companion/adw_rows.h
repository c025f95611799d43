#pragma once

// Rows of libadwaita's preferences lists (C API) with gtkmm widgets in them.

#include <adwaita.h>
#include <gtkmm/switch.h>

#include <functional>
#include <string>

namespace corvane::companion {

/// Reports a failure to the person, in the window that caused it.
using Toaster = std::function<void(const std::string&)>;

/// A row with `title` (underscore marks the mnemonic) and `subtitle`.
inline GtkWidget* makeRow(const std::string& title, const std::string& subtitle = {}) {
    GtkWidget* row = adw_action_row_new();
    adw_preferences_row_set_title(ADW_PREFERENCES_ROW(row), title.c_str());
    adw_preferences_row_set_use_underline(ADW_PREFERENCES_ROW(row), TRUE);
    adw_action_row_set_subtitle(ADW_ACTION_ROW(row), subtitle.c_str());
    return row;
}

/// Gives `widget` the accessible name `label`, for a control whose visible
/// label does not say it (an icon) or spells its mnemonic.
inline void labelFor(Gtk::Widget& widget, const std::string& label) {
    std::string plain;
    for (char c : label)
        if (c != '_')
            plain += c;
    gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                   plain.c_str(), -1);
}

/// Adds a switch to `row` that the whole row toggles, and that the row's
/// title names for screen readers; returns it.
inline Gtk::Switch& addSwitch(GtkWidget* row) {
    auto* toggle = Gtk::make_managed<Gtk::Switch>();
    toggle->set_valign(Gtk::Align::CENTER);
    adw_action_row_add_suffix(ADW_ACTION_ROW(row), GTK_WIDGET(toggle->gobj()));
    adw_action_row_set_activatable_widget(ADW_ACTION_ROW(row), GTK_WIDGET(toggle->gobj()));
    return *toggle;
}

} // namespace corvane::companion
