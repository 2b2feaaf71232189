// Named, typed values that modules publish on a decoder instance
// ("mpeg/layer", "id3/title", ...).
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace mpegaudio {

class CMpegPropertyTable {
 public:
  enum Type { kInteger, kString };

  void SetInteger(const std::string& name, int64_t value);
  void SetString(const std::string& name, const std::string& value);
  // kMpegOk, kMpegErrorPropertyNotFound or kMpegErrorPropertyType.
  int GetInteger(const std::string& name, int64_t* value) const;
  // The text stays valid until the property is set again or removed.
  int GetString(const std::string& name, const char** value) const;
  void Remove(const std::string& name);
  void Clear() { values_.clear(); }
  int Count() const { return static_cast<int>(values_.size()); }
  // The index-th property in name order; false past the end.
  bool At(int index, std::string* name, Type* type) const;

 private:
  struct Value {
    Type type = kInteger;
    int64_t integer = 0;
    std::string text;
  };
  std::map<std::string, Value> values_;
};

}  // namespace mpegaudio
