#include "platform/linux/finder_bus_protocol.h"

#include "platform/linux/gvariant_plist.h"

#include <glib.h>

#include <string_view>

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

Glib::VariantBase childOf(GVariant* container, gsize index) {
    return Glib::VariantBase(g_variant_get_child_value(container, index));
}

GVariant* newPathArray(const std::vector<FileURL>& urls) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("aay"));
    for (const FileURL& url : urls)
        g_variant_builder_add_value(&builder, bytesVariant(url.path()).gobj());
    return g_variant_builder_end(&builder);
}

GVariant* newTargetArray(const std::optional<FileURL>& targeted) {
    std::vector<FileURL> urls;
    if (targeted)
        urls.push_back(*targeted);
    return newPathArray(urls);
}

Expected<FileURL> pathFromBytes(GVariant* bytes) {
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_variant_get_fixed_array(bytes, &size, 1));
    std::string_view path(data == nullptr ? "" : data, size);
    if (!path.empty() && path.back() == '\0')
        path.remove_suffix(1);
    if (path.empty())
        return makeError("a path is empty");
    if (path.find('\0') != std::string_view::npos)
        return makeError("a path holds a NUL byte");
    if (path.front() != '/')
        return makeError("a path is not absolute");
    return FileURL::fromPath(path);
}

Expected<std::vector<FileURL>> pathsFromArray(GVariant* array) {
    std::vector<FileURL> urls;
    const gsize count = g_variant_n_children(array);
    urls.reserve(count);
    for (gsize i = 0; i < count; ++i) {
        Glib::VariantBase child = childOf(array, i);
        Expected<FileURL> url = pathFromBytes(child.gobj());
        if (!url)
            return std::unexpected(url.error());
        urls.push_back(std::move(*url));
    }
    return urls;
}

Expected<RequestContext> contextFromChildren(GVariant* tuple) {
    Glib::VariantBase targetArray = childOf(tuple, 1);
    Glib::VariantBase selectionArray = childOf(tuple, 2);
    Expected<std::vector<FileURL>> targets = pathsFromArray(targetArray.gobj());
    if (!targets)
        return std::unexpected(targets.error());
    if (targets->size() > 1)
        return makeError("more than one targeted folder");
    Expected<std::vector<FileURL>> selected = pathsFromArray(selectionArray.gobj());
    if (!selected)
        return std::unexpected(selected.error());
    RequestContext context;
    if (!targets->empty())
        context.targeted = std::move(targets->front());
    context.selected = std::move(*selected);
    return context;
}

std::string stringChild(GVariant* tuple, gsize index) {
    Glib::VariantBase child = childOf(tuple, index);
    gsize length = 0;
    const char* text = g_variant_get_string(child.gobj(), &length);
    return std::string(text, length);
}

bool boolChild(GVariant* tuple, gsize index) {
    Glib::VariantBase child = childOf(tuple, index);
    return g_variant_get_boolean(child.gobj());
}

Expected<void> checkType(const Glib::VariantBase& value, const char* type) {
    if (!value.gobj() ||
        !g_variant_is_of_type(const_cast<GVariant*>(value.gobj()), G_VARIANT_TYPE(type)))
        return makeError(std::string("the arguments are not of type ") + type);
    return {};
}

} // namespace

Glib::VariantContainerBase encodeMenuRequest(const MenuRequest& request) {
    GVariant* children[] = {g_variant_new_uint32(request.menuKind),
                            newTargetArray(request.context.targeted),
                            newPathArray(request.context.selected)};
    return Glib::VariantContainerBase(g_variant_new_tuple(children, 3));
}

Expected<MenuRequest> decodeMenuRequest(const Glib::VariantContainerBase& parameters) {
    if (Expected<void> ok = checkType(parameters, kMenuRequestType); !ok)
        return std::unexpected(ok.error());
    GVariant* tuple = const_cast<GVariant*>(parameters.gobj());
    MenuRequest request;
    Glib::VariantBase kind = childOf(tuple, 0);
    request.menuKind = g_variant_get_uint32(kind.gobj());
    Expected<RequestContext> context = contextFromChildren(tuple);
    if (!context)
        return std::unexpected(context.error());
    request.context = std::move(*context);
    return request;
}

Expected<Glib::VariantContainerBase> encodeActionRequest(const ActionRequest& request) {
    if (!isDBusString(request.selector))
        return makeError("the action selector is not valid UTF-8");
    GVariant* children[] = {g_variant_new_string(request.selector.c_str()),
                            newTargetArray(request.context.targeted),
                            newPathArray(request.context.selected)};
    return Glib::VariantContainerBase(g_variant_new_tuple(children, 3));
}

Expected<ActionRequest> decodeActionRequest(const Glib::VariantContainerBase& parameters) {
    if (Expected<void> ok = checkType(parameters, kActionRequestType); !ok)
        return std::unexpected(ok.error());
    GVariant* tuple = const_cast<GVariant*>(parameters.gobj());
    ActionRequest request;
    request.selector = stringChild(tuple, 0);
    Expected<RequestContext> context = contextFromChildren(tuple);
    if (!context)
        return std::unexpected(context.error());
    request.context = std::move(*context);
    return request;
}

Expected<Glib::VariantContainerBase> encodeMenuReply(const std::optional<Menu>& menu) {
    static const Menu kNoMenu;
    const Menu& shown = menu ? *menu : kNoMenu;

    // Every text is checked before any GVariant is made: a string GVariant of
    // bytes that are not UTF-8 comes out NULL.
    auto allValid = [&] {
        if (!isDBusString(shown.title))
            return false;
        for (const MenuItem& item : shown.items) {
            const MenuImage noImage;
            const MenuImage& image = item.image ? *item.image : noImage;
            const std::string noAction;
            const std::string& action = item.action ? *item.action : noAction;
            for (std::string_view text :
                 {std::string_view(item.title), std::string_view(action),
                  std::string_view(item.keyEquivalent), std::string_view(image.symbolName),
                  std::string_view(image.iconName),
                  std::string_view(image.accessibilityDescription)})
                if (!isDBusString(text))
                    return false;
        }
        return true;
    };
    if (!allValid())
        return makeError("a menu text is not valid UTF-8");

    GVariantBuilder items;
    g_variant_builder_init(&items, G_VARIANT_TYPE("a(bssssssbb)"));
    for (const MenuItem& item : shown.items) {
        const MenuImage noImage;
        const MenuImage& image = item.image ? *item.image : noImage;
        g_variant_builder_add(&items, "(bssssssbb)", gboolean(item.isSeparator), item.title.c_str(),
                              item.action.value_or("").c_str(), item.keyEquivalent.c_str(),
                              image.symbolName.c_str(), image.iconName.c_str(),
                              image.accessibilityDescription.c_str(), gboolean(image.isTemplate),
                              gboolean(item.enabled));
    }
    GVariant* children[] = {g_variant_new_boolean(menu.has_value()),
                            g_variant_new_string(shown.title.c_str()),
                            g_variant_builder_end(&items)};
    return Glib::VariantContainerBase(g_variant_new_tuple(children, 3));
}

Expected<std::optional<Menu>> decodeMenuReply(const Glib::VariantContainerBase& reply) {
    if (Expected<void> ok = checkType(reply, kMenuReplyType); !ok)
        return std::unexpected(ok.error());
    GVariant* tuple = const_cast<GVariant*>(reply.gobj());
    if (!boolChild(tuple, 0))
        return std::optional<Menu>();
    Menu menu;
    menu.title = stringChild(tuple, 1);
    Glib::VariantBase items = childOf(tuple, 2);
    const gsize count = g_variant_n_children(items.gobj());
    for (gsize i = 0; i < count; ++i) {
        Glib::VariantBase entry = childOf(items.gobj(), i);
        MenuItem item;
        item.isSeparator = boolChild(entry.gobj(), 0);
        item.title = stringChild(entry.gobj(), 1);
        if (std::string action = stringChild(entry.gobj(), 2); !action.empty())
            item.action = std::move(action);
        item.keyEquivalent = stringChild(entry.gobj(), 3);
        if (std::string symbol = stringChild(entry.gobj(), 4); !symbol.empty()) {
            MenuImage image;
            image.symbolName = std::move(symbol);
            image.iconName = stringChild(entry.gobj(), 5);
            image.accessibilityDescription = stringChild(entry.gobj(), 6);
            image.isTemplate = boolChild(entry.gobj(), 7);
            item.image = std::move(image);
        }
        item.enabled = boolChild(entry.gobj(), 8);
        menu.items.push_back(std::move(item));
    }
    return std::optional<Menu>(std::move(menu));
}

} // namespace corvane::finderbus
