#include "finderbus/finder_bus.h"

namespace corvane::finderbus {

const char kIntrospectionXml[] = R"xml(<node>
  <interface name="Brenvo.Corvane.FinderSync">
    <method name="GetMenu">
      <arg name="menuKind" type="u" direction="in"/>
      <arg name="targetedFolder" type="aay" direction="in"/>
      <arg name="selectedItems" type="aay" direction="in"/>
      <arg name="hasMenu" type="b" direction="out"/>
      <arg name="title" type="s" direction="out"/>
      <arg name="items" type="a(bssssssbb)" direction="out"/>
    </method>
    <method name="PerformAction">
      <arg name="selector" type="s" direction="in"/>
      <arg name="targetedFolder" type="aay" direction="in"/>
      <arg name="selectedItems" type="aay" direction="in"/>
    </method>
    <signal name="MenuChanged"/>
  </interface>
</node>
)xml";

namespace {

/// Owns one reference to a GVariant.
struct Ref {
    explicit Ref(GVariant* v) : value(v) {}
    ~Ref() { g_variant_unref(value); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    GVariant* value;
};

GVariant* newPathArray(const std::vector<std::string>& paths) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("aay"));
    // Raw bytes without a terminating NUL.
    for (const std::string& path : paths)
        g_variant_builder_add_value(
            &builder, g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, path.data(), path.size(), 1));
    return g_variant_builder_end(&builder);
}

GVariant* newTargetArray(const std::optional<std::string>& targeted) {
    return newPathArray(targeted ? std::vector<std::string>{*targeted}
                                 : std::vector<std::string>{});
}

Result<std::string> pathFromBytes(GVariant* bytes) {
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_variant_get_fixed_array(bytes, &size, 1));
    std::string_view path(data == nullptr ? "" : data, size);
    if (!path.empty() && path.back() == '\0')
        path.remove_suffix(1);
    if (path.empty())
        return std::unexpected("a path is empty");
    if (path.find('\0') != std::string_view::npos)
        return std::unexpected("a path holds a NUL byte");
    if (path.front() != '/')
        return std::unexpected("a path is not absolute");
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return std::string(path);
}

Result<std::vector<std::string>> pathsFromArray(GVariant* array) {
    std::vector<std::string> paths;
    const gsize count = g_variant_n_children(array);
    paths.reserve(count);
    for (gsize i = 0; i < count; ++i) {
        Ref child(g_variant_get_child_value(array, i));
        Result<std::string> path = pathFromBytes(child.value);
        if (!path)
            return std::unexpected(path.error());
        paths.push_back(std::move(*path));
    }
    return paths;
}

Result<RequestContext> contextOf(GVariant* tuple) {
    Ref targetArray(g_variant_get_child_value(tuple, 1));
    Ref selectionArray(g_variant_get_child_value(tuple, 2));
    Result<std::vector<std::string>> targets = pathsFromArray(targetArray.value);
    if (!targets)
        return std::unexpected(targets.error());
    if (targets->size() > 1)
        return std::unexpected("more than one targeted folder");
    Result<std::vector<std::string>> selected = pathsFromArray(selectionArray.value);
    if (!selected)
        return std::unexpected(selected.error());
    RequestContext context;
    if (!targets->empty())
        context.targeted = std::move(targets->front());
    context.selected = std::move(*selected);
    return context;
}

std::string stringChild(GVariant* tuple, gsize index) {
    Ref child(g_variant_get_child_value(tuple, index));
    gsize length = 0;
    const char* text = g_variant_get_string(child.value, &length);
    return std::string(text, length);
}

bool boolChild(GVariant* tuple, gsize index) {
    Ref child(g_variant_get_child_value(tuple, index));
    return g_variant_get_boolean(child.value);
}

Result<void> checkType(GVariant* value, const char* type) {
    if (value == nullptr || !g_variant_is_of_type(value, G_VARIANT_TYPE(type)))
        return std::unexpected(std::string("the arguments are not of type ") + type);
    return {};
}

bool allTextsValid(const Menu& menu) {
    if (!isDBusString(menu.title))
        return false;
    for (const MenuEntry& entry : menu.entries) {
        for (const std::string* text :
             {&entry.title, &entry.action, &entry.keyEquivalent, &entry.symbol, &entry.iconName,
              &entry.accessibilityDescription})
            if (!isDBusString(*text))
                return false;
    }
    return true;
}

} // namespace

bool isDBusString(std::string_view text) {
    return text.find('\0') == std::string_view::npos &&
           g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

GVariant* encodeMenuRequest(const MenuRequest& request) {
    GVariant* children[] = {g_variant_new_uint32(request.menuKind),
                            newTargetArray(request.context.targeted),
                            newPathArray(request.context.selected)};
    return g_variant_new_tuple(children, 3);
}

Result<MenuRequest> decodeMenuRequest(GVariant* parameters) {
    if (Result<void> ok = checkType(parameters, kMenuRequestType); !ok)
        return std::unexpected(ok.error());
    Result<RequestContext> context = contextOf(parameters);
    if (!context)
        return std::unexpected(context.error());
    Ref kind(g_variant_get_child_value(parameters, 0));
    return MenuRequest{g_variant_get_uint32(kind.value), std::move(*context)};
}

Result<GVariant*> encodeActionRequest(const ActionRequest& request) {
    // A string GVariant of bytes that are not UTF-8 comes out NULL.
    if (!isDBusString(request.selector))
        return std::unexpected("the action selector is not valid UTF-8");
    GVariant* children[] = {g_variant_new_string(request.selector.c_str()),
                            newTargetArray(request.context.targeted),
                            newPathArray(request.context.selected)};
    return g_variant_new_tuple(children, 3);
}

Result<ActionRequest> decodeActionRequest(GVariant* parameters) {
    if (Result<void> ok = checkType(parameters, kActionRequestType); !ok)
        return std::unexpected(ok.error());
    Result<RequestContext> context = contextOf(parameters);
    if (!context)
        return std::unexpected(context.error());
    return ActionRequest{stringChild(parameters, 0), std::move(*context)};
}

Result<GVariant*> encodeMenuReply(const std::optional<Menu>& menu) {
    static const Menu kNoMenu;
    const Menu& shown = menu ? *menu : kNoMenu;
    if (!allTextsValid(shown))
        return std::unexpected("a menu text is not valid UTF-8");
    GVariantBuilder entries;
    g_variant_builder_init(&entries, G_VARIANT_TYPE("a(bssssssbb)"));
    for (const MenuEntry& e : shown.entries)
        g_variant_builder_add(&entries, "(bssssssbb)", gboolean(e.separator), e.title.c_str(),
                              e.action.c_str(), e.keyEquivalent.c_str(), e.symbol.c_str(),
                              e.iconName.c_str(), e.accessibilityDescription.c_str(),
                              gboolean(e.templateImage), gboolean(e.enabled));
    GVariant* children[] = {g_variant_new_boolean(menu.has_value()),
                            g_variant_new_string(shown.title.c_str()),
                            g_variant_builder_end(&entries)};
    return g_variant_new_tuple(children, 3);
}

Result<std::optional<Menu>> decodeMenuReply(GVariant* reply) {
    if (Result<void> ok = checkType(reply, kMenuReplyType); !ok)
        return std::unexpected(ok.error());
    if (!boolChild(reply, 0))
        return std::optional<Menu>();
    Menu menu{stringChild(reply, 1), {}};
    Ref entries(g_variant_get_child_value(reply, 2));
    GVariantIter iter;
    g_variant_iter_init(&iter, entries.value);
    gboolean separator = FALSE, templateImage = FALSE, enabled = FALSE;
    const char *title = nullptr, *action = nullptr, *key = nullptr, *symbol = nullptr,
               *icon = nullptr, *description = nullptr;
    while (g_variant_iter_next(&iter, "(b&s&s&s&s&s&sbb)", &separator, &title, &action, &key,
                               &symbol, &icon, &description, &templateImage, &enabled))
        menu.entries.push_back({separator != FALSE, title, action, key, symbol, icon, description,
                                templateImage != FALSE, enabled != FALSE});
    return std::optional<Menu>(std::move(menu));
}

} // namespace corvane::finderbus
