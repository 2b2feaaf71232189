#include "engine/codecs/mpeg/MpegPropertyTable.h"

#include "engine/codecs/mpeg/MpegResult.h"

namespace mpegaudio {

void CMpegPropertyTable::SetInteger(const std::string& name, int64_t value) {
  Value& v = values_[name];
  v.type = kInteger;
  v.integer = value;
  v.text.clear();
}

void CMpegPropertyTable::SetString(const std::string& name, const std::string& value) {
  Value& v = values_[name];
  v.type = kString;
  v.integer = 0;
  v.text = value;
}

int CMpegPropertyTable::GetInteger(const std::string& name, int64_t* value) const {
  auto it = values_.find(name);
  if (it == values_.end()) return kMpegErrorPropertyNotFound;
  if (it->second.type != kInteger) return kMpegErrorPropertyType;
  if (value) *value = it->second.integer;
  return kMpegOk;
}

int CMpegPropertyTable::GetString(const std::string& name, const char** value) const {
  auto it = values_.find(name);
  if (it == values_.end()) return kMpegErrorPropertyNotFound;
  if (it->second.type != kString) return kMpegErrorPropertyType;
  if (value) *value = it->second.text.c_str();
  return kMpegOk;
}

void CMpegPropertyTable::Remove(const std::string& name) { values_.erase(name); }

bool CMpegPropertyTable::At(int index, std::string* name, Type* type) const {
  if (index < 0 || index >= Count()) return false;
  auto it = values_.begin();
  std::advance(it, index);
  if (name) *name = it->first;
  if (type) *type = it->second.type;
  return true;
}

}  // namespace mpegaudio
