#include "companion/rename_dialog.h"

#include "companion/adw_rows.h"
#include "platform/unicode.h"

#include <gdk/gdkkeysyms.h>
#include <glibmm/convert.h>
#include <glibmm/main.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/label.h>
#include <gtkmm/listbox.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/shortcutcontroller.h>
#include <gtkmm/window.h>

namespace corvane::companion {

namespace {

/// Paths that can travel to the extension: D-Bus and our property lists
/// carry UTF-8 text only.
bool sendable(const std::string& path) {
    return isValidUTF8(path) && path.find('\0') == std::string::npos;
}

std::string displayName(const std::string& path) {
    return std::string(Glib::filename_display_basename(path));
}

const char* problemText(BaseNameProblem problem) {
    switch (problem) {
    case BaseNameProblem::Empty:
        return "Type a base name: each item gets it followed by its number.";
    case BaseNameProblem::HasSlash:
        return "A base name cannot contain “/”.";
    case BaseNameProblem::DotOrDotDot:
        return "“.” and “..” cannot be base names.";
    case BaseNameProblem::None:
        break;
    }
    return "";
}

} // namespace

struct RenameDialog::Window : Gtk::Window {
    Gtk::HeaderBar header;
    Gtk::Button cancel{"_Cancel", true}, rename{"_Rename", true};
    Gtk::Box content{Gtk::Orientation::VERTICAL, 12};
    Gtk::Label nameLabel{"_Base name", true}, hint, listLabel, message;
    Gtk::Entry baseName;
    Gtk::ScrolledWindow scroller;
    Gtk::ListBox list;
    bool answered = false;

    Window() {
        set_title("Batch Rename");
        set_default_size(440, -1);
        set_titlebar(header);
        // Cancel and Rename stand where a dialog's buttons stand; closing is Cancel.
        header.set_show_title_buttons(false);
        header.pack_start(cancel);
        header.pack_end(rename);
        rename.add_css_class("suggested-action");
        labelFor(cancel, "Cancel");
        labelFor(rename, "Rename");
        set_default_widget(rename);

        content.set_margin(18);
        set_child(content);
        nameLabel.set_xalign(0);
        nameLabel.set_mnemonic_widget(baseName);
        baseName.set_activates_default(true);
        hint.set_xalign(0);
        hint.set_wrap(true);
        hint.add_css_class("dim-label");
        listLabel.set_xalign(0);
        message.set_wrap(true);
        message.set_max_width_chars(40);
        message.set_visible(false);
        list.set_selection_mode(Gtk::SelectionMode::NONE);
        list.add_css_class("boxed-list");
        scroller.set_child(list);
        scroller.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
        scroller.set_propagate_natural_height(true);
        scroller.set_max_content_height(360);
        for (Gtk::Widget* widget : std::initializer_list<Gtk::Widget*>{
                 &nameLabel, &baseName, &hint, &listLabel, &scroller, &message})
            content.append(*widget);

        auto shortcuts = Gtk::ShortcutController::create();
        shortcuts->add_shortcut(Gtk::Shortcut::create(
            Gtk::KeyvalTrigger::create(GDK_KEY_Escape),
            Gtk::CallbackAction::create([this](Gtk::Widget&, const Glib::VariantBase&) {
                close();
                return true;
            })));
        add_controller(shortcuts);
    }

    void showMessage(const std::string& text) {
        for (Gtk::Widget* widget : std::initializer_list<Gtk::Widget*>{
                 &nameLabel, &baseName, &hint, &listLabel, &scroller, &rename})
            widget->set_visible(false);
        message.set_text(text);
        message.set_visible(true);
        cancel.set_label("_Close");
        labelFor(cancel, "Close");
    }

    void fill(const std::vector<PreviewRow>& rows, const std::vector<std::string>& unsent,
              BaseNameProblem problem) {
        while (Gtk::Widget* row = list.get_row_at_index(0))
            list.remove(*row);
        // With a base name that cannot be sent, the items are listed as they are.
        for (const PreviewRow& row : rows) {
            const std::string old = displayName(row.path);
            if (problem != BaseNameProblem::None)
                addRow(old);
            else if (row.newName)
                addRow(old + "  →  " + std::string(Glib::filename_display_name(*row.newName)));
            else
                addRow(old + ": not found, will not be renamed");
        }
        for (const std::string& path : unsent)
            addRow(displayName(path) + ": left as it is (its name is not UTF-8 text)");
        listLabel.set_text(rows.size() == 1
                               ? "1 item will be renamed:"
                               : std::to_string(rows.size()) + " items, numbered in this order:");
        hint.set_text(problemText(problem));
        hint.set_visible(problem != BaseNameProblem::None);
        rename.set_sensitive(problem == BaseNameProblem::None && !rows.empty());
    }

    void addRow(const std::string& text) {
        auto* label = Gtk::make_managed<Gtk::Label>(text);
        label->set_xalign(0);
        label->set_ellipsize(Pango::EllipsizeMode::MIDDLE);
        label->set_margin(8);
        list.append(*label);
    }
};

RenameDialog::RenameDialog(Preview preview, Answered answered)
    : preview_(std::move(preview)), answered_(std::move(answered)) {}

RenameDialog::~RenameDialog() = default;

void RenameDialog::show(const RenameRequest& request) {
    if (window_ && shown_ == request) {
        window_->present();
        return;
    }
    std::string baseName = window_ && shown_ ? std::string(window_->baseName.get_text()) : "";
    close();
    shown_ = request;
    window_ = std::make_unique<Window>();
    Window& window = *window_;
    std::vector<std::string> paths, unsent;
    for (const std::string& path : request.paths)
        (sendable(path) ? paths : unsent).push_back(path);

    auto update = [this, paths, unsent] {
        const std::string base = window_->baseName.get_text();
        window_->fill(preview_(paths, base), unsent, checkBaseName(base));
    };
    window.baseName.signal_changed().connect(update);
    window.rename.signal_clicked().connect([this, paths] {
        if (!window_->rename.is_sensitive())
            return;
        window_->answered = true;
        RenameAnswer answer{window_->baseName.get_text(), paths};
        close();
        answered_(std::move(answer));
    });
    window.cancel.signal_clicked().connect([this] { close(); });
    window.signal_close_request().connect(
        [this] {
            // Closed by the window manager: answered as Cancel, later, since
            // the window cannot be destroyed from inside its own signal.
            Glib::signal_idle().connect_once([this] { close(); });
            return true;
        },
        false);
    window.baseName.set_text(baseName);
    update();
    // A base name kept from the request this one replaces is not selected,
    // so typing goes on after it.
    window.baseName.grab_focus_without_selecting();
    window.baseName.set_position(-1);
    window.present();
}

void RenameDialog::showMessage(const std::string& message) {
    close();
    window_ = std::make_unique<Window>();
    window_->showMessage(message);
    window_->cancel.signal_clicked().connect([this] { close(); });
    window_->signal_close_request().connect(
        [this] {
            Glib::signal_idle().connect_once([this] { close(); });
            return true;
        },
        false);
    window_->present();
}

void RenameDialog::close() {
    if (!window_)
        return;
    const bool unanswered = !window_->answered;
    // The window goes once the handler that closed it has returned.
    std::shared_ptr<Window> closing(window_.release());
    closing->set_visible(false);
    Glib::signal_idle().connect_once([closing] {});
    shown_.reset();
    if (unanswered)
        answered_(std::nullopt);
}

} // namespace corvane::companion
