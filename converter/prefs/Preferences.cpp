#include "converter/prefs/Preferences.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "engine/base/EngineGlobals.h"
#include "engine/base/TempPaths.h"
#include "engine/codecs/ConverterLibraries.h"
#include "platform/os/UserDirectories.h"
#include "platform/registry/RegBatch.h"
#include "platform/registry/RegKey.h"
#include "utilities/strings/BoundedCopy.h"
#include "utilities/strings/StringFile.h"

namespace {

std::string WithSeparator(std::string dir) {
  if (dir.empty() || (dir.back() != '/' && dir.back() != '\\')) dir += '/';
  return dir;
}

std::string Number(uint32_t v) { return std::to_string(v); }

std::string Bytes(const void* p, size_t n) { return std::string(static_cast<const char*>(p), n); }

}  // namespace

const CPreferences::NumberValue CPreferences::kNumbers[] = {
    {"CPUSleepTime", &CPreferences::cpuSleepTime},
    {"PlaySound", &CPreferences::playSound},
    {"PromptForOverWrites", &CPreferences::promptForOverWrites},
    {"ShowErrorsAtEnd", &CPreferences::showErrorsAtEnd},
    {"ConvertPlaylistFilesWithoutPrompting", &CPreferences::convertPlaylistFilesWithoutPrompting},
    {"NormalizeVolume", &CPreferences::normalizeVolume},
    {"NormalizeLevel", &CPreferences::normalizeLevel},
    {"NormalizeWarningDisplayed", &CPreferences::normalizeWarningDisplayed},
    {"OpenDecodeOnExit", &CPreferences::openDecodeOnExit},
    {"FirstTimeInVersion1_1", &CPreferences::firstTimeInVersion1_1},
    {"bTrimSoundsAutomatically", &CPreferences::trimSoundsAutomatically},
    {"bWarnAboutIncompleteSongs", &CPreferences::warnAboutIncompleteSongs},
    {"partialSongThreshold", &CPreferences::partialSongThreshold},
    {"GaplessMP3", &CPreferences::gaplessMP3},
    {"ParallelConversions", &CPreferences::parallelConversions},
    {"LastConversionType", &CPreferences::lastConversionType},
    {"LastConversionOptionPage", &CPreferences::lastConversionOptionPage},
};

const char* const CPreferences::kFormatKeys[3] = {"WaveEncoderOptions", "MP3EncoderOptions",
                                                  "WMAEncoderOptions"};

CPreferences::CPreferences()
    : formats{CConv2FileFormat(kFormatTagPcm), CConv2FileFormat(kFormatTagMp3),
              CConv2FileFormat(kFormatTagWma)} {
  BuildDefaultDirectories();
}

CPreferences::~CPreferences() = default;

// The conversion folder lies below the user's music folder; the engine's
// temporary files go to the user's cache, since the program folder is not
// writable once installed.
void CPreferences::BuildDefaultDirectories() {
  std::string name = LoadKeyedString("DEFAULT_CONVERT_DIR");
  if (name.empty()) name = "DEFAULT_CONVERT_DIR";
  defaultDir = WithSeparator(os::MusicDirectory()) + name + "/";
  tempDirectory = WithSeparator(os::CacheHome()) + "sonoduct/";
}

// Start-up: the stored settings, then what the engine needs of them.
int CPreferences::Load() {
  BuildDefaultDirectories();
  int ok = Load(HKEY_CURRENT_USER, true);
  loaded_ = true;
  SetTempSndPath(tempDirectory.c_str());
  SetGaplessMP3Decoding(gaplessMP3 != 0);
  _tMP3EncoderDllTypedef encoder = GetMP3Encoder();
  if (encoder == MP3_ENCODER_NOT_ASSIGNED) encoder = MP3_ENCODER_LAME;
  DetermineConvertersAvailable(encoder, &Format(FILE_CONVERSION_MP3));
  if (SetMP3Encoder(GetMP3Encoder())) preferredMP3Encoder = GetMP3Encoder();
  int flags[3] = {0, 0, 0};
  GetConvertersAvailable(flags);
  std::vector<uint32_t> types;
  for (uint32_t t = 0; t < 3; ++t)
    if (flags[t]) types.push_back(t);
  SetAvailableConversionTypes(types);
  return ok;
}

int CPreferences::ConversionWorkers() const {
  int64_t wanted = conversionsOverride >= 0 ? conversionsOverride : parallelConversions;
  if (wanted == 0) wanted = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp<int64_t>(wanted, 1, kMaxConversions));
}

CRegKey* CPreferences::OpenKey(TRegRoot root, bool create) {
  CRegKey base(root);
  CRegKey* software = create ? base.CreateSubKey("SOFTWARE") : base.GetSubKey("SOFTWARE");
  CRegKey* quillon = nullptr;
  if (software)
    quillon = create ? software->CreateSubKey("Quillon") : software->GetSubKey("Quillon");
  if (!software || !quillon) {
    registryFailure = true;
    DeleteRegKey(&software);
    return nullptr;
  }
  CRegKey* key = create ? quillon->CreateSubKey("Sonoduct") : quillon->GetSubKey("Sonoduct");
  DeleteRegKey(&quillon);
  DeleteRegKey(&software);
  return key;
}

int CPreferences::Load(TRegRoot root, bool create) {
  registryFailure = false;
  CRegKey* key = OpenKey(root, create);
  if (!key) {
    Snapshot();
    return 0;
  }
  ReadValues(key);
  DeleteRegKey(&key);
  Snapshot();
  return 1;
}

void CPreferences::ReadValues(CRegKey* key) {
  std::string s;
  if (key->SubKeyExists("DefaultDir") && key->GetKeyString("DefaultDir", s) && !s.empty())
    defaultDir = s.substr(0, 260);
  for (const NumberValue& v : kNumbers) {
    uint32_t n;
    if (key->SubKeyExists(v.name) && key->GetKeyNum(v.name, &n)) this->*v.member = n;
  }
  std::string point;
  if (key->SubKeyExists("LastWindowPoint") && key->GetKeyData("LastWindowPoint", point) &&
      point.size() == sizeof lastWindowPoint)
    std::memcpy(lastWindowPoint, point.data(), sizeof lastWindowPoint);
  if (key->SubKeyExists("TempDirectory") && key->GetKeyString("TempDirectory", s) && !s.empty())
    tempDirectory = WithSeparator(s);

  // The older single quality setting applies to formats not stored yet, once.
  uint32_t oldQuality = 0;
  bool haveOldQuality =
      key->SubKeyExists("ConvertToCDQuality") && key->GetKeyNum("ConvertToCDQuality", &oldQuality);
  for (int type = 0; type < 3; ++type) {
    CRegKey* sub = key->GetSubKey(kFormatKeys[type]);
    if (!sub) {
      if (haveOldQuality)
        formats[type].SetSoundQuality(static_cast<_tSoundQualityTypedef>(oldQuality));
      continue;
    }
    formats[type].ReadPreferences(sub);
    uint32_t n;
    if (type == 1) {
      if (sub->SubKeyExists("PreferredMP3Encoder") && sub->GetKeyNum("PreferredMP3Encoder", &n))
        preferredMP3Encoder = n;
      if (sub->SubKeyExists("MP3Advanced") && sub->GetKeyNum("MP3Advanced", &n)) mp3Advanced = n;
    } else if (type == 0) {
      if (sub->SubKeyExists("CDBlockAlign") && sub->GetKeyNum("CDBlockAlign", &n)) cdBlockAlign = n;
    }
    DeleteRegKey(&sub);
  }
  if (haveOldQuality) key->DeleteRegValue("ConvertToCDQuality");
  // CD block alignment holds only for CD-quality WAV output.
  if (!(cdBlockAlign && formats[0].soundQuality == SOUND_QUALITY_CD)) cdBlockAlign = 0;

  rightClickEntries.clear();
  uint32_t count = 0;
  if (key->SubKeyExists("NumRightClickEntries")) key->GetKeyNum("NumRightClickEntries", &count);
  for (uint32_t i = 0; i < count; ++i) {
    std::string name = "RightClickEntry" + std::to_string(i);
    if (!key->SubKeyExists(name.c_str()) || !key->GetKeyString(name.c_str(), s)) break;
    AddRightClickEntry(s);
  }
}

// Remembers what the store holds now, in a form that tells changes apart.
void CPreferences::Snapshot() {
  stored_.clear();
  stored_["DefaultDir"] = defaultDir;
  stored_["TempDirectory"] = tempDirectory;
  for (const NumberValue& v : kNumbers) stored_[v.name] = Number(this->*v.member);
  stored_["LastWindowPoint"] = Bytes(lastWindowPoint, sizeof lastWindowPoint);
  for (int type = 0; type < 3; ++type)
    stored_[kFormatKeys[type]] = Bytes(&formats[type], sizeof formats[type]);
  stored_["PreferredMP3Encoder"] = Number(preferredMP3Encoder);
  stored_["MP3Advanced"] = Number(mp3Advanced);
  stored_["CDBlockAlign"] = Number(cdBlockAlign);
  std::string entries;
  for (const std::string& e : rightClickEntries) entries += e + '\n';
  stored_["RightClickEntries"] = entries;
}

void CPreferences::WriteValues(CRegKey* key, bool onlyChanged) {
  auto due = [&](const char* name, const std::string& now, CRegKey* where) {
    if (!onlyChanged) return true;
    auto it = stored_.find(name);
    return it == stored_.end() || it->second != now || !where->SubKeyExists(name);
  };
  if (due("DefaultDir", defaultDir, key)) key->SetKeyString("DefaultDir", defaultDir.c_str());
  for (const NumberValue& v : kNumbers) {
    if (std::strcmp(v.name, "OpenDecodeOnExit") == 0 && due("TempDirectory", tempDirectory, key))
      key->SetKeyString("TempDirectory", tempDirectory.c_str());
    if (std::strcmp(v.name, "ShowErrorsAtEnd") == 0 &&
        due("LastWindowPoint", Bytes(lastWindowPoint, sizeof lastWindowPoint), key))
      key->SetKeyData("LastWindowPoint", lastWindowPoint, sizeof lastWindowPoint);
    if (due(v.name, Number(this->*v.member), key)) key->SetKeyNum(v.name, this->*v.member);
  }
  for (int type = 0; type < 3; ++type) {
    bool exists = key->KeyExists(kFormatKeys[type]);
    std::string now = Bytes(&formats[type], sizeof formats[type]);
    auto it = stored_.find(kFormatKeys[type]);
    bool formatDue = !onlyChanged || !exists || it == stored_.end() || it->second != now;
    bool extrasDue = !onlyChanged || !exists ||
                     (type == 1 && (stored_["PreferredMP3Encoder"] != Number(preferredMP3Encoder) ||
                                    stored_["MP3Advanced"] != Number(mp3Advanced))) ||
                     (type == 0 && stored_["CDBlockAlign"] != Number(cdBlockAlign));
    if (!formatDue && !extrasDue) continue;
    CRegKey* sub = key->CreateSubKey(kFormatKeys[type]);
    if (!sub) continue;
    if (formatDue) formats[type].WritePreferences(sub);
    if (type == 1) {
      sub->SetKeyNum("PreferredMP3Encoder", preferredMP3Encoder);
      sub->SetKeyNum("MP3Advanced", mp3Advanced);
    } else if (type == 0) {
      sub->SetKeyNum("CDBlockAlign", cdBlockAlign);
    }
    DeleteRegKey(&sub);
  }
  std::string entries;
  for (const std::string& e : rightClickEntries) entries += e + '\n';
  if (!onlyChanged || stored_["RightClickEntries"] != entries ||
      !key->SubKeyExists("NumRightClickEntries")) {
    key->SetKeyNum("NumRightClickEntries", static_cast<uint32_t>(rightClickEntries.size()));
    for (size_t i = 0; i < rightClickEntries.size(); ++i)
      key->SetKeyString(("RightClickEntry" + std::to_string(i)).c_str(),
                        rightClickEntries[i].c_str());
    for (int i = static_cast<int>(rightClickEntries.size()); i < kMaxNumbered; ++i)
      key->DeleteRegValue(("RightClickEntry" + std::to_string(i)).c_str());
  }
  if (!availableTypes.empty() || !onlyChanged) {
    key->SetKeyNum("NumAvailableConversionTypes", static_cast<uint32_t>(availableTypes.size()));
    for (size_t i = 0; i < availableTypes.size(); ++i)
      key->SetKeyNum(("AvailableConversionType" + std::to_string(i)).c_str(), availableTypes[i]);
    for (int i = static_cast<int>(availableTypes.size()); i < kMaxNumbered; ++i)
      key->DeleteRegValue(("AvailableConversionType" + std::to_string(i)).c_str());
  }
}

int CPreferences::Save(TRegRoot root) {
  // One write of the store for all values instead of one per value.
  CRegBatch batch(root);
  registryFailure = false;
  CRegKey* key = OpenKey(root, true);
  if (!key) return 0;
  WriteValues(key, false);
  DeleteRegKey(&key);
  Snapshot();
  return 1;
}

int CPreferences::SaveChanged(TRegRoot root) {
  // One write of the store for all values instead of one per value.
  CRegBatch batch(root);
  registryFailure = false;
  CRegKey* key = OpenKey(root, true);
  if (!key) return 0;
  WriteValues(key, true);
  DeleteRegKey(&key);
  Snapshot();
  return 1;
}

int CPreferences::SaveLastConversionType(uint32_t type, TRegRoot root) {
  lastConversionType = type;
  CRegKey* key = OpenKey(root, false);
  if (!key) {
    registryFailure = true;
    return 0;
  }
  int ok = key->SetKeyNum("LastConversionType", type);
  DeleteRegKey(&key);
  stored_["LastConversionType"] = Number(type);
  return ok;
}

int CPreferences::DeleteMachineKey(TRegRoot root) {
  CRegKey base(root);
  CRegKey* quillon = base.GetSubKey("SOFTWARE\\Quillon");
  if (!quillon) return 1;  // nothing to remove
  int ok = 1;
  if (CRegKey* key = quillon->GetSubKey("Sonoduct")) {
    ok = key->DeleteSubKeys("");
    DeleteRegKey(&key);
    ok = quillon->DeleteSubKeys("Sonoduct") && ok;
  }
  DeleteRegKey(&quillon);
  return ok;
}

int CPreferences::MoveLocalMachinePreferences() {
  CPreferences machine;
  machine.Load(HKEY_LOCAL_MACHINE, false);
  if (machine.registryFailure) return 1;
  CRegKey base(HKEY_LOCAL_MACHINE);
  if (!base.KeyExists(kKeyPath)) return 1;
  if (!machine.Save(HKEY_CURRENT_USER)) return 0;
  machine.DeleteMachineKey(HKEY_LOCAL_MACHINE);
  return Load(HKEY_CURRENT_USER, true);
}

int CPreferences::RemoveLocalMachinePreferences() { return DeleteMachineKey(HKEY_LOCAL_MACHINE); }

bool CPreferences::CopyDefaultDir(char* buffer, int length) const {
  if (!buffer || length <= 0) return false;
  CopyBounded(buffer, length, defaultDir);
  return length <= 261;
}

bool CPreferences::GetLastWindowPoint(int32_t point[2]) const {
  if (static_cast<uint32_t>(lastWindowPoint[0]) == kPointNotSet) return false;
  point[0] = lastWindowPoint[0];
  point[1] = lastWindowPoint[1];
  return true;
}

std::string CPreferences::TargetPathFor(const std::string& fileName) const {
  std::string dir = defaultDir;
  while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  size_t start = 0;
  while (start < fileName.size() && (fileName[start] == '/' || fileName[start] == '\\')) ++start;
  if (dir == "/") return dir + fileName.substr(start);
  return dir + "/" + fileName.substr(start);
}

void CPreferences::AddRightClickEntry(const std::string& path) {
  if (std::find(rightClickEntries.begin(), rightClickEntries.end(), path) ==
      rightClickEntries.end())
    rightClickEntries.push_back(path);
}

void CPreferences::SetAvailableConversionTypes(const std::vector<uint32_t>& types) {
  availableTypes.assign(types.begin(),
                        types.begin() + std::min<size_t>(types.size(), kMaxNumbered));
}
