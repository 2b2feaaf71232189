// The Nautilus module as Nautilus meets it: loaded with GModule, initialised
// with a type module, its provider asked for the items of fake file objects;
// the item tree must be the core's menu, and choosing an item must start the
// converter that the class store names.
#include <gio/gio.h>
#include <glib-object.h>
#include <gmodule.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

extern "C" {
#include <nautilus-extension.h>
}

#include "platform/registry/RegKey.h"
#include "shell/ShellMenu.h"
#include "shell/ShellServer.h"
#include "tests/shell/ShellTestSupport.h"

// A type module standing in for Nautilus's: loading it initialises the
// module under test.
struct TestTypeModule {
  GTypeModule parent;
};
struct TestTypeModuleClass {
  GTypeModuleClass parent;
};

// A file as Nautilus hands it to a provider; only the location matters.
struct TestFileInfo {
  GObject parent;
  char* uri;
};
struct TestFileInfoClass {
  GObjectClass parent;
};

// This program links the menu's core to compare with, and the module it
// loads carries its own copy, as it must in Nautilus, where no other copy is.
// The sanitizer would take the two copies' globals for one program's
// duplicate definitions; only here do they meet.
extern "C" const char* __asan_default_options() { return "detect_odr_violation=0"; }

namespace {

using InitializeFn = void (*)(GTypeModule*);
using ListTypesFn = void (*)(const GType**, int*);
InitializeFn gInitialize = nullptr;

gboolean LoadTestModule(GTypeModule* module) {
  gInitialize(module);
  return TRUE;
}
void UnloadTestModule(GTypeModule*) {}

char* FileInfoUri(NautilusFileInfo* info) {
  return g_strdup(reinterpret_cast<TestFileInfo*>(info)->uri);
}
char* FileInfoName(NautilusFileInfo* info) {
  const char* uri = reinterpret_cast<TestFileInfo*>(info)->uri;
  const char* slash = strrchr(uri, '/');
  return g_uri_unescape_string(slash ? slash + 1 : uri, nullptr);
}
gboolean FileInfoIsDirectory(NautilusFileInfo*) { return FALSE; }

}  // namespace

G_DEFINE_TYPE(TestTypeModule, test_type_module, G_TYPE_TYPE_MODULE)

static void test_type_module_class_init(TestTypeModuleClass* klass) {
  klass->parent.load = LoadTestModule;
  klass->parent.unload = UnloadTestModule;
}
static void test_type_module_init(TestTypeModule*) {}

static void test_file_info_iface_init(NautilusFileInfoInterface* iface) {
  iface->get_uri = FileInfoUri;
  iface->get_name = FileInfoName;
  iface->is_directory = FileInfoIsDirectory;
}

G_DEFINE_TYPE_WITH_CODE(TestFileInfo, test_file_info, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(NAUTILUS_TYPE_FILE_INFO, test_file_info_iface_init))

static void test_file_info_finalize(GObject* object) {
  g_free(reinterpret_cast<TestFileInfo*>(object)->uri);
  G_OBJECT_CLASS(test_file_info_parent_class)->finalize(object);
}
static void test_file_info_class_init(TestFileInfoClass* klass) {
  klass->parent.finalize = test_file_info_finalize;
}
static void test_file_info_init(TestFileInfo* self) { self->uri = nullptr; }

namespace {

using shell::CShellMenu;
using shelltest::Available;

// What a menu item shows, and the items of its submenu.
struct TItemView {
  std::string label, tip;
  bool sensitive = false;
  std::vector<TItemView> submenu;
  bool hasSubmenu = false;
  bool operator==(const TItemView& o) const {
    return label == o.label && tip == o.tip && sensitive == o.sensitive &&
           hasSubmenu == o.hasSubmenu && submenu == o.submenu;
  }
};

std::ostream& operator<<(std::ostream& out, const TItemView& v) {
  out << "{\"" << v.label << "\", \"" << v.tip << "\", " << (v.sensitive ? "on" : "off");
  if (v.hasSubmenu) {
    out << ", [";
    for (const TItemView& s : v.submenu) out << s << " ";
    out << "]";
  }
  return out << "}";
}

std::vector<TItemView> Views(GList* items) {
  std::vector<TItemView> views;
  for (GList* l = items; l; l = l->next) {
    EXPECT_TRUE(NAUTILUS_IS_MENU_ITEM(l->data));
    TItemView v;
    char *label = nullptr, *tip = nullptr;
    gboolean sensitive = FALSE;
    NautilusMenu* menu = nullptr;
    g_object_get(l->data, "label", &label, "tip", &tip, "sensitive", &sensitive, "menu", &menu,
                 nullptr);
    v.label = label ? label : "";
    v.tip = tip ? tip : "";
    v.sensitive = sensitive;
    if (menu) {
      v.hasSubmenu = true;
      GList* sub = nautilus_menu_get_items(menu);
      v.submenu = Views(sub);
      nautilus_menu_item_list_free(sub);
      g_object_unref(menu);
    }
    g_free(label);
    g_free(tip);
    views.push_back(v);
  }
  return views;
}

// The core's menu as Nautilus shows it: no separators.
std::vector<TItemView> Expected(const CShellMenu& menu) {
  std::vector<TItemView> views;
  for (const shell::TShellMenuItem& item : menu.Items()) {
    if (item.kind == shell::TShellItemKind::kSeparator) continue;
    TItemView v{item.label, item.help, item.enabled, {}, false};
    v.hasSubmenu = item.kind == shell::TShellItemKind::kSubmenu;
    if (item.depth == 0)
      views.push_back(v);
    else
      views.back().submenu.push_back(v);
  }
  return views;
}

void FreeItems(GList* items) {
  if (items) nautilus_menu_item_list_free(items);
}

// The views of a provider's answer, which is freed.
std::vector<TItemView> TakeViews(GList* items) {
  std::vector<TItemView> views = Views(items);
  FreeItems(items);
  return views;
}

std::string UriOf(const std::string& path) {
  char* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  std::string s = uri ? uri : "";
  g_free(uri);
  return s;
}

class NautilusModuleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The module must use GLib and the extension library without complaint.
    g_log_set_always_fatal(static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING |
                                                       G_LOG_LEVEL_ERROR));
    module_ = g_module_open(SONODUCT_NAUTILUS_MODULE, G_MODULE_BIND_LOCAL);
    ASSERT_NE(module_, nullptr) << g_module_error();
    gpointer init = nullptr, list = nullptr, shutdown = nullptr;
    ASSERT_TRUE(g_module_symbol(module_, "nautilus_module_initialize", &init));
    ASSERT_TRUE(g_module_symbol(module_, "nautilus_module_list_types", &list));
    ASSERT_TRUE(g_module_symbol(module_, "nautilus_module_shutdown", &shutdown));
    gInitialize = reinterpret_cast<InitializeFn>(init);
    typeModule_ = G_TYPE_MODULE(g_object_new(test_type_module_get_type(), nullptr));
    ASSERT_TRUE(g_type_module_use(typeModule_));
    const GType* types = nullptr;
    int count = 0;
    reinterpret_cast<ListTypesFn>(list)(&types, &count);
    ASSERT_EQ(count, 1);
    ASSERT_TRUE(g_type_is_a(types[0], NAUTILUS_TYPE_MENU_PROVIDER));
    providerType_ = types[0];
  }

  void SetUp() override {
    ASSERT_NE(providerType_, G_TYPE_INVALID);
    provider_ = NAUTILUS_MENU_PROVIDER(g_object_new(providerType_, nullptr));
    // The converter's folder holds its strings file, as installed.
    ASSERT_TRUE(testsupport::WriteFile(dir_.File("sonoduct-strings.ini"),
                                       testsupport::ReadFile(shelltest::StringsFile())));
  }
  void TearDown() override {
    if (provider_) g_object_unref(provider_);
  }

  // The class store as the converter's registration leaves it, with the
  // server in the test's folder.
  void Register(bool handler) {
    CRegKey root(HKEY_CLASSES_ROOT);
    std::unique_ptr<CRegKey> server(root.CreateSubKey(
        (std::string("CLSID\\") + shell::kShellClassId + "\\InProcServer32").c_str()));
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->SetKeyString("", dir_.File("sonoshell-invoke").c_str()));
    if (handler) {
      std::unique_ptr<CRegKey> key(root.CreateSubKey(shell::kMenuHandlerKey));
      ASSERT_TRUE(key);
      ASSERT_TRUE(key->SetKeyString("", shell::kShellClassId));
    }
  }

  // The provider's items for files given as URIs.
  GList* ItemsFor(const std::vector<std::string>& uris) {
    GList* files = nullptr;
    for (const std::string& uri : uris) {
      auto* info = static_cast<TestFileInfo*>(g_object_new(test_file_info_get_type(), nullptr));
      info->uri = g_strdup(uri.c_str());
      files = g_list_append(files, info);
    }
    GList* items = nautilus_menu_provider_get_file_items(provider_, files);
    nautilus_file_info_list_free(files);
    return items;
  }

  std::vector<TItemView> ViewsFor(const std::vector<std::string>& paths) {
    std::vector<std::string> uris;
    for (const std::string& p : paths) uris.push_back(UriOf(p));
    return TakeViews(ItemsFor(uris));
  }

  std::vector<TItemView> CoreFor(const std::vector<std::string>& paths) {
    return Expected(
        CShellMenu::Query(paths, shell::ReadTargetAvailability(), shelltest::StringsFile()));
  }

  static GModule* module_;
  static GTypeModule* typeModule_;
  static GType providerType_;
  shelltest::TempHomes homes_;
  testsupport::TempDir dir_;
  NautilusMenuProvider* provider_ = nullptr;
};

GModule* NautilusModuleTest::module_ = nullptr;
GTypeModule* NautilusModuleTest::typeModule_ = nullptr;
GType NautilusModuleTest::providerType_ = G_TYPE_INVALID;

TEST_F(NautilusModuleTest, OffersTheCoresMenuForTheSelection) {
  Register(true);
  const std::string a = dir_.File("first song.mp3"), b = dir_.File("b.MP3");

  const std::vector<TItemView> one = ViewsFor({a});
  ASSERT_EQ(one.size(), 2u);
  EXPECT_EQ(one, CoreFor({a}));
  EXPECT_FALSE(one[0].hasSubmenu);
  ASSERT_TRUE(one[1].hasSubmenu);
  EXPECT_EQ(one[1].submenu.size(), 4u);  // WAV, MP3, WMA, options
  // Real texts from the strings file beside the converter, not the keys.
  EXPECT_EQ(one[0].label.find("IDS_"), std::string::npos) << one[0].label;
  EXPECT_NE(one[1].label.find("first song.mp3"), std::string::npos) << one[1].label;

  EXPECT_EQ(ViewsFor({a, b}), CoreFor({a, b}));
  EXPECT_NE(ViewsFor({a, b})[0].label, one[0].label);

  // A WAV file's first entry follows the encoders the store names.
  const std::string wav = dir_.File("take.wav");
  homes_.SetAvailability(Available(true, true, false));
  const std::vector<TItemView> withMp3 = ViewsFor({wav});
  EXPECT_EQ(withMp3, CoreFor({wav}));
  EXPECT_TRUE(withMp3[0].sensitive);
  homes_.SetAvailability(Available(true, false, false));
  const std::vector<TItemView> without = ViewsFor({wav});
  EXPECT_EQ(without, CoreFor({wav}));
  EXPECT_FALSE(without[0].sensitive);  // MP3, grayed
  EXPECT_FALSE(without[1].submenu[1].sensitive);
  EXPECT_TRUE(without[1].submenu[3].sensitive);

  EXPECT_TRUE(ViewsFor({dir_.File("clip.mpg")}).empty());
  EXPECT_TRUE(ViewsFor({dir_.File("clip.mpg"), a}).empty());
}

TEST_F(NautilusModuleTest, OnlyLocalFilesCount) {
  Register(true);
  const std::string a = dir_.File("a.mp3");
  EXPECT_TRUE(TakeViews(ItemsFor({"sftp://host/x.mp3", "trash:///y.mp3"})).empty());
  // The local files alone make the menu: one file, named in the submenu.
  EXPECT_EQ(TakeViews(ItemsFor({"sftp://host/x.mp3", UriOf(a)})), CoreFor({a}));
  EXPECT_TRUE(TakeViews(ItemsFor({"file:///bad%zzescape.mp3"})).empty());
}

TEST_F(NautilusModuleTest, WithoutTheMenuHandlerKeyNothingIsOffered) {
  const std::string a = dir_.File("a.mp3");
  EXPECT_TRUE(ViewsFor({a}).empty());  // an empty store
  Register(false);
  EXPECT_TRUE(ViewsFor({a}).empty());
  Register(true);
  EXPECT_EQ(ViewsFor({a}), CoreFor({a}));
}

// The item at depth 1 whose label is the given one.
NautilusMenuItem* SubmenuItem(GList* items, const std::string& label) {
  NautilusMenu* menu = nullptr;
  g_object_get(g_list_nth_data(items, 1), "menu", &menu, nullptr);
  if (!menu) return nullptr;
  NautilusMenuItem* found = nullptr;
  GList* sub = nautilus_menu_get_items(menu);
  for (GList* l = sub; l && !found; l = l->next) {
    char* text = nullptr;
    g_object_get(l->data, "label", &text, nullptr);
    if (text && label == text) found = NAUTILUS_MENU_ITEM(l->data);
    g_free(text);
  }
  nautilus_menu_item_list_free(sub);  // the submenu keeps its items
  g_object_unref(menu);
  return found;
}

TEST_F(NautilusModuleTest, ChoosingAnItemStartsOneRunPerFile) {
  Register(true);
  shelltest::RecordingProgram program(dir_.Path());
  const std::vector<std::string> files = {dir_.File("one song.mp3"), dir_.File("two.mp3")};
  const CShellMenu core = CShellMenu::Query(files, shell::ReadTargetAvailability(), "");
  std::vector<std::string> uris;
  for (const std::string& f : files) uris.push_back(UriOf(f));

  GList* items = ItemsFor(uris);
  ASSERT_NE(items, nullptr);
  CShellMenu texts =
      CShellMenu::Query(files, shell::ReadTargetAvailability(), shelltest::StringsFile());
  // A grayed entry starts nothing; the WAV entry one run per file.
  NautilusMenuItem* mp3 = SubmenuItem(items, texts.Command(CShellMenu::kConvertMp3)->label);
  NautilusMenuItem* wav = SubmenuItem(items, texts.Command(CShellMenu::kConvertWav)->label);
  ASSERT_NE(mp3, nullptr);
  ASSERT_NE(wav, nullptr);
  nautilus_menu_item_activate(mp3);
  nautilus_menu_item_activate(wav);
  nautilus_menu_item_list_free(items);  // the runs don't depend on the items

  auto runs = program.WaitForRuns(3, 2000);
  std::sort(runs.begin(), runs.end());
  std::vector<std::vector<std::string>> expected;
  for (auto args : core.Invocations(CShellMenu::kConvertWav, program.Path())) {
    args.erase(args.begin());  // the recording leaves out the program name
    expected.push_back(args);
  }
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(expected.size(), 2u);
  EXPECT_EQ(runs, expected);
}

}  // namespace
