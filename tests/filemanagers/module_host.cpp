#include "tests/filemanagers/module_host.h"

#include <gmodule.h>

#include <cstddef>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <utility>

#ifdef CORVANE_NAUTILUS_MODULE
#include "integrations/nautilus/nautilus_extension.h"
#endif
#ifdef CORVANE_NEMO_MODULE
#include <libnemo-extension/nemo-menu-provider.h>
#endif
#ifdef CORVANE_CAJA_MODULE
#include <libcaja-extension/caja-menu-provider.h>
#endif
#ifdef CORVANE_THUNAR_MODULE
#define THUNARX_COMPILATION // for Thunar's own module loader
extern "C" {
#include <thunarx/thunarx-provider-module.h>
#include <thunarx/thunarx.h>
}
#endif

namespace corvane::testing {
namespace {

/// How a GTK file manager loads a module and asks it for items.
struct GtkFileManager {
    /// The prefix of the module's entry points; null when the file manager's
    /// own library loads modules (Thunar's).
    const char* entryPoints;
    GType (*fileInfo)();
    /// Where `get_location` sits in the file-info interface.
    std::size_t locationSlot;
    GType (*menuProvider)();
    /// Whether the provider's calls take the window (GNOME Files 43's do not).
    bool takesWindow;
};

/// The menu provider interfaces share one layout: the call for a selection,
/// then the one for a folder's background. (Calling them directly skips
/// thunarx's wrappers, which insist on a window the module never looks at.)
template <typename... Window> struct MenuCalls {
    GTypeInterface parent;
    GList* (*selection)(gpointer provider, Window..., GList* files);
    GList* (*background)(gpointer provider, Window..., gpointer folder);
};

std::vector<GType> loadModule(const GtkFileManager& fm, const std::string& path) {
    const GType* types = nullptr;
    int count = 0;
#ifdef CORVANE_THUNAR_MODULE
    if (fm.entryPoints == nullptr) {
        // Thunar's own loader, which names modules relative to Thunar's folder.
        ThunarxProviderModule* module = thunarx_provider_module_new(
            std::filesystem::relative(path, CORVANE_THUNAR_READS).c_str());
        if (!g_type_module_use(G_TYPE_MODULE(module)))
            throw std::runtime_error("cannot load " + path);
        thunarx_provider_module_list_types(module, &types, &count);
        return {types, types + count};
    }
#endif
    // What GNOME Files, Nemo and Caja do: open the module with lazy, local
    // binding, initialize it with a type module of theirs, list its types.
    static const GType typeModule = g_type_register_static_simple(
        G_TYPE_TYPE_MODULE, "CorvaneHostTypeModule", sizeof(GTypeModuleClass),
        [](gpointer klass, gpointer) {
            G_TYPE_MODULE_CLASS(klass)->load = [](GTypeModule*) -> gboolean { return TRUE; };
            G_TYPE_MODULE_CLASS(klass)->unload = [](GTypeModule*) {};
        },
        sizeof(GTypeModule), nullptr, GTypeFlags(0));
    GTypeModule* module = G_TYPE_MODULE(g_object_new(typeModule, nullptr));
    GModule* library =
        g_module_open(path.c_str(), GModuleFlags(G_MODULE_BIND_LAZY | G_MODULE_BIND_LOCAL));
    const std::string prefix = fm.entryPoints;
    gpointer initialize = nullptr, listTypes = nullptr;
    if (library == nullptr ||
        !g_module_symbol(library, (prefix + "_initialize").c_str(), &initialize) ||
        !g_module_symbol(library, (prefix + "_list_types").c_str(), &listTypes) ||
        !g_type_module_use(module))
        throw std::runtime_error("cannot load " + path);
    reinterpret_cast<void (*)(GTypeModule*)>(initialize)(module);
    reinterpret_cast<void (*)(const GType**, int*)>(listTypes)(&types, &count);
    return {types, types + count};
}

std::string text(gpointer object, const char* property) {
    char* value = nullptr;
    g_object_get(object, property, &value, nullptr);
    std::string result = value != nullptr ? value : "";
    g_free(value);
    return result;
}

class GtkModuleHost : public ModuleHost {
  public:
    GtkModuleHost(const GtkFileManager& fm, const std::string& path) : fm_(fm) {
        for (GType type : loadModule(fm, path))
            if (g_type_is_a(type, fm.menuProvider()))
                provider_ = G_OBJECT(g_object_new(type, nullptr));
        if (provider_ == nullptr)
            throw std::runtime_error(path + " has no menu provider");
        if (g_signal_lookup("items-updated", G_OBJECT_TYPE(provider_)) != 0)
            g_signal_connect_swapped(provider_, "items-updated",
                                     G_CALLBACK(+[](int* count) { ++*count; }), &updates_);
        else
            updates_ = -1;
    }
    ~GtkModuleHost() override { forgetMenus(); }

    void openMenus(const std::vector<std::string>& paths, const std::string& folder) override {
        forgetMenus();
        GList* files = nullptr;
        for (auto path = paths.rbegin(); path != paths.rend(); ++path)
            files = g_list_prepend(files, fileInfo(*path));
        GObject* folderInfo = folder.empty() ? nullptr : fileInfo(folder);
        gpointer calls = g_type_interface_peek(G_OBJECT_GET_CLASS(provider_), fm_.menuProvider());
        auto ask = [&](auto* menu, auto... window) {
            menus_[MenuKind::Selection] = menu->selection(provider_, window..., files);
            if (folderInfo != nullptr)
                menus_[MenuKind::Background] = menu->background(provider_, window..., folderInfo);
        };
        if (fm_.takesWindow)
            ask(static_cast<MenuCalls<gpointer>*>(calls), gpointer(nullptr));
        else
            ask(static_cast<MenuCalls<>*>(calls));
        g_list_free_full(files, g_object_unref);
        if (folderInfo != nullptr)
            g_object_unref(folderInfo);
        // A window registers each item's action under the item's name in one
        // group, where a later item of the same name replaces an earlier one.
        for (auto& [kind, menu] : menus_)
            for (GList* node = menu; node != nullptr; node = node->next)
                actions_[text(node->data, "name")] = node->data;
    }

    Items items(MenuKind kind) const override {
        Items shown;
        for (GList* node = menus_.at(kind); node != nullptr; node = node->next) {
            gboolean sensitive = TRUE, separator = FALSE;
            g_object_get(node->data, "sensitive", &sensitive, nullptr);
            if (g_object_class_find_property(G_OBJECT_GET_CLASS(node->data), "separator"))
                g_object_get(node->data, "separator", &separator, nullptr);
            shown.push_back({separator ? "---" : text(node->data, "label"), sensitive != FALSE});
        }
        return shown;
    }

    bool choose(MenuKind kind, const std::string& label) override {
        for (GList* node = menus_.at(kind); node != nullptr; node = node->next) {
            if (text(node->data, "label") == label) {
                g_signal_emit_by_name(actions_.at(text(node->data, "name")), "activate");
                return true;
            }
        }
        return false;
    }

    std::optional<int> updates() const override {
        return updates_ < 0 ? std::nullopt : std::optional(updates_);
    }

  private:
    void forgetMenus() {
        for (auto& [kind, menu] : menus_)
            g_list_free_full(std::exchange(menu, nullptr), g_object_unref);
        actions_.clear();
    }

    /// A file-info object of our own type, through the interface alone: its
    /// location is all a module may ask of it.
    GObject* fileInfo(const std::string& path) const {
        static std::map<GType, GType> types;
        GType& type = types[fm_.fileInfo()];
        if (type == 0) {
            type = g_type_register_static_simple(
                G_TYPE_OBJECT, ("CorvaneHostFileInfo" + std::to_string(types.size())).c_str(),
                sizeof(GObjectClass), nullptr, sizeof(GObject), nullptr, GTypeFlags(0));
            const GInterfaceInfo implementation{
                [](gpointer iface, gpointer slot) {
                    *reinterpret_cast<GFile* (**)(gpointer)>(
                        static_cast<char*>(iface) + GPOINTER_TO_SIZE(slot)) = [](gpointer info) {
                        return G_FILE(g_object_ref(g_object_get_data(G_OBJECT(info), "file")));
                    };
                },
                nullptr, GSIZE_TO_POINTER(fm_.locationSlot)};
            g_type_add_interface_static(type, fm_.fileInfo(), &implementation);
        }
        GObject* info = G_OBJECT(g_object_new(type, nullptr));
        g_object_set_data_full(info, "file",
                               path.find("://") != path.npos ? g_file_new_for_uri(path.c_str())
                                                             : g_file_new_for_path(path.c_str()),
                               g_object_unref);
        return info;
    }

    const GtkFileManager& fm_;
    GObject* provider_ = nullptr;
    int updates_ = 0;
    std::map<MenuKind, GList*> menus_{{MenuKind::Selection, nullptr},
                                      {MenuKind::Background, nullptr}};
    std::map<std::string, gpointer> actions_;
};

template <const GtkFileManager& fm> std::unique_ptr<ModuleHost> loadGtk(const std::string& path) {
    return std::make_unique<GtkModuleHost>(fm, path);
}

std::vector<std::string> entryPoints(const std::string& prefix) {
    return {prefix + "_initialize", prefix + "_list_types", prefix + "_shutdown"};
}

#ifdef CORVANE_NAUTILUS_MODULE
constexpr GtkFileManager kGnomeFiles{"nautilus_module", nautilus_file_info_get_type,
                                     offsetof(NautilusFileInfoInterface, get_location),
                                     nautilus_menu_provider_get_type, false};
#endif
#ifdef CORVANE_NEMO_MODULE
constexpr GtkFileManager kNemo{"nemo_module", nemo_file_info_get_type,
                               offsetof(NemoFileInfoInterface, get_location),
                               nemo_menu_provider_get_type, true};
#endif
#ifdef CORVANE_CAJA_MODULE
constexpr GtkFileManager kCaja{"caja_module", caja_file_info_get_type,
                               offsetof(CajaFileInfoIface, get_location),
                               caja_menu_provider_get_type, true};
#endif
#ifdef CORVANE_THUNAR_MODULE
constexpr GtkFileManager kThunar{nullptr, thunarx_file_info_get_type,
                                 offsetof(ThunarxFileInfoIface, get_location),
                                 thunarx_menu_provider_get_type, true};
#endif

} // namespace

void PrintTo(const ShownItem& item, std::ostream* out) {
    *out << '"' << item.label << '"' << (item.sensitive ? "" : " (insensitive)");
}

const std::vector<BuiltModule>& builtModules() {
#define CORVANE_BUILT(NAME)                                                                        \
    CORVANE_##NAME##_MODULE, CORVANE_##NAME##_INSTALL_DIR, CORVANE_##NAME##_READS
    static const std::vector<BuiltModule> modules = {
#ifdef CORVANE_NAUTILUS_MODULE
        {"GnomeFiles", CORVANE_BUILT(NAUTILUS), entryPoints("nautilus_module"), false,
         loadGtk<kGnomeFiles>},
#endif
#ifdef CORVANE_NEMO_MODULE
        {"Nemo", CORVANE_BUILT(NEMO), entryPoints("nemo_module"), true, loadGtk<kNemo>},
#endif
#ifdef CORVANE_CAJA_MODULE
        {"Caja", CORVANE_BUILT(CAJA), entryPoints("caja_module"), false, loadGtk<kCaja>},
#endif
#ifdef CORVANE_THUNAR_MODULE
        {"Thunar", CORVANE_BUILT(THUNAR), entryPoints("thunar_extension"), false, loadGtk<kThunar>},
#endif
#ifdef CORVANE_DOLPHIN_MODULE
        {"Dolphin",
         CORVANE_BUILT(DOLPHIN),
         {"qt_plugin_instance", "qt_plugin_query_metadata"},
         true,
         loadDolphinModule},
#endif
    };
#undef CORVANE_BUILT
    return modules;
}

GDBusConnection* useAsSessionBus(const PrivateBus& bus) {
    g_setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), TRUE);
    g_setenv("GIO_USE_VFS", "local", TRUE);
    GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (connection == nullptr)
        throw std::runtime_error("cannot connect to the private bus");
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    return connection;
}

} // namespace corvane::testing
