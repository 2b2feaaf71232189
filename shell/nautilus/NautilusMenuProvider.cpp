#include "shell/nautilus/NautilusMenuProvider.h"

#include <memory>
#include <string>
#include <vector>

#include "shell/FileUri.h"
#include "shell/ShellInvoke.h"
#include "shell/ShellMenu.h"
#include "shell/ShellServer.h"
#include "shell/ShellTargets.h"

namespace nautilusmenu {

namespace {

struct TProvider {
  GObject parent;
};

struct TProviderClass {
  GObjectClass parent;
};

// One query's menu, shared by its items until the last of them goes.
struct TMenuState {
  shell::CShellMenu menu;
  std::string program;
};

using TSharedState = std::shared_ptr<const TMenuState>;

constexpr const char* kStateKey = "sonoduct-menu-state";
constexpr const char* kCommandKey = "sonoduct-command";

void FreeState(gpointer data) { delete static_cast<TSharedState*>(data); }

void Activate(NautilusMenuItem* item, gpointer) {
  auto* state = static_cast<TSharedState*>(g_object_get_data(G_OBJECT(item), kStateKey));
  if (!state) return;
  const int command = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), kCommandKey));
  shell::InvokeShellCommand((*state)->menu, command, (*state)->program);
}

NautilusMenuItem* NewItem(const shell::TShellMenuItem& entry, const TSharedState& state) {
  const std::string name = "Sonoduct::Command" + std::to_string(entry.command);
  NautilusMenuItem* item =
      nautilus_menu_item_new(name.c_str(), entry.label.c_str(), entry.help.c_str(), nullptr);
  g_object_set(item, "sensitive", entry.enabled ? TRUE : FALSE, nullptr);
  if (entry.kind == shell::TShellItemKind::kCommand) {
    g_object_set_data_full(G_OBJECT(item), kStateKey, new TSharedState(state), FreeState);
    g_object_set_data(G_OBJECT(item), kCommandKey, GINT_TO_POINTER(entry.command));
    g_signal_connect(item, "activate", G_CALLBACK(Activate), nullptr);
  }
  return item;
}

// The selection's local files in order; others are left out.
std::vector<std::string> LocalPaths(GList* files) {
  std::vector<std::string> paths;
  for (GList* l = files; l; l = l->next) {
    if (!NAUTILUS_IS_FILE_INFO(l->data)) continue;
    char* uri = nautilus_file_info_get_uri(NAUTILUS_FILE_INFO(l->data));
    std::string path;
    if (uri && shell::PathFromFileUri(uri, &path)) paths.push_back(path);
    g_free(uri);
  }
  return paths;
}

GList* GetFileItems(NautilusMenuProvider*, GList* files) { return MenuItemsFor(files); }

GList* GetBackgroundItems(NautilusMenuProvider*, NautilusFileInfo*) { return nullptr; }

void InitInterface(gpointer iface, gpointer) {
  auto* provider = static_cast<NautilusMenuProviderInterface*>(iface);
  provider->get_file_items = GetFileItems;
  provider->get_background_items = GetBackgroundItems;
}

}  // namespace

GList* MenuItemsFor(GList* files) {
  if (!shell::ShellMenuRegistered()) return nullptr;
  const std::vector<std::string> paths = LocalPaths(files);
  if (paths.empty()) return nullptr;
  const shell::TShellServer server = shell::ReadShellServer();
  auto state = std::make_shared<TMenuState>();
  state->menu =
      shell::CShellMenu::Query(paths, shell::ReadTargetAvailability(), server.stringsFile);
  state->program = server.program;
  if (state->menu.IsEmpty()) return nullptr;

  GList* top = nullptr;
  NautilusMenu* submenu = nullptr;
  for (const shell::TShellMenuItem& entry : state->menu.Items()) {
    // Nautilus's menus have no separators; the submenu goes on without one.
    if (entry.kind == shell::TShellItemKind::kSeparator) continue;
    NautilusMenuItem* item = NewItem(entry, state);
    if (entry.depth == 0) {
      top = g_list_append(top, item);
      if (entry.kind == shell::TShellItemKind::kSubmenu) {
        submenu = nautilus_menu_new();
        nautilus_menu_item_set_submenu(item, submenu);
        g_object_unref(submenu);  // the item holds it
      }
    } else if (submenu) {
      nautilus_menu_append_item(submenu, item);
      g_object_unref(item);  // the submenu holds it
    } else {
      g_object_unref(item);
    }
  }
  return top;
}

GType RegisterProviderType(GTypeModule* module) {
  GTypeInfo info = {};
  info.class_size = sizeof(TProviderClass);
  info.instance_size = sizeof(TProvider);
  const GType type = g_type_module_register_type(module, G_TYPE_OBJECT, "SonoductMenuProvider",
                                                 &info, static_cast<GTypeFlags>(0));
  GInterfaceInfo iface = {};
  iface.interface_init = InitInterface;
  g_type_module_add_interface(module, type, NAUTILUS_TYPE_MENU_PROVIDER, &iface);
  return type;
}

}  // namespace nautilusmenu
