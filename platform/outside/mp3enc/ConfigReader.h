// Reads and checks the configuration record handed to beInitStream: the basic
// record (MPEG-1 at constant bit rate) or, where the library offers it, the
// extended one. A record that is not understood is refused, never guessed at.
#pragma once

#include "platform/outside/BladeEnc.h"
#include "platform/outside/mp3enc/EncoderSettings.h"

namespace mp3enc {

// Which library reads the record: BladeEnc.so takes the basic record alone,
// without joint stereo; Lame_enc.so takes both.
enum class EncoderInterfaceKind { kBasic, kExtended };

class ConfigReader {
 public:
  // BE_ERR_SUCCESSFUL with settings filled; BE_ERR_INVALID_FORMAT for a record
  // of another kind, version or size; BE_ERR_INVALID_FORMAT_PARAMETERS for
  // values outside what the record allows.
  static BE_ERR Read(const void* config, EncoderInterfaceKind kind, EncoderSettings* settings);

 private:
  static BE_ERR ReadBasic(const void* config, bool jointStereo, EncoderSettings* settings);
  static BE_ERR ReadExtended(const void* config, EncoderSettings* settings);
  static BE_ERR ReadBitRates(const BE_CONFIG_LAME_RECORD& record, EncoderSettings* settings);
};

}  // namespace mp3enc
