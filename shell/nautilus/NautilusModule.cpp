// The entry points through which Nautilus loads the module and learns its
// types.
#include <gio/gio.h>
#include <glib-object.h>
#include <gmodule.h>
// The header declares the entry points without C linkage.
extern "C" {
#include <nautilus-extension.h>
}

#include "shell/nautilus/NautilusMenuProvider.h"

namespace {

GType gTypes[1];

}  // namespace

extern "C" {

G_MODULE_EXPORT void nautilus_module_initialize(GTypeModule* module) {
  gTypes[0] = nautilusmenu::RegisterProviderType(module);
}

G_MODULE_EXPORT void nautilus_module_shutdown(void) {}

G_MODULE_EXPORT void nautilus_module_list_types(const GType** types, int* num_types) {
  *types = gTypes;
  *num_types = gTypes[0] ? 1 : 0;
}

}  // extern "C"
