// The converter's entries in Nautilus's context menu: a GObject type that
// implements NautilusMenuProvider over the menu core, registered in the
// module's GTypeModule.
#pragma once

#include <nautilus-extension.h>

namespace nautilusmenu {

// Registers the provider type in module (on each load); returns it.
GType RegisterProviderType(GTypeModule* module);

// The menu items for the selected files (NautilusFileInfo): the two entries,
// the second carrying the submenu, as the core computes them for the local
// files of the selection. Null when the class store has no menu handler or
// the selection gets no menu.
GList* MenuItemsFor(GList* files);

}  // namespace nautilusmenu
