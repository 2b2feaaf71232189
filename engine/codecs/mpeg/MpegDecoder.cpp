#include "engine/codecs/mpeg/MpegDecoder.h"

#include <new>
#include <string>
#include <vector>

#include "engine/codecs/mpeg/MpegPropertyTable.h"

namespace mpegaudio {

namespace {

enum ModuleKind { kInputKind, kCodecKind, kOutputKind };

struct RegisteredModule {
  ModuleKind kind;
  const MpegInputModule* input = nullptr;
  const MpegCodecModule* codec = nullptr;
  const MpegOutputModule* output = nullptr;
};

}  // namespace

struct MpegDecoder {
  std::vector<RegisteredModule> modules;
  MpegErrorCallback errorCallback = nullptr;
  void* errorUser = nullptr;
  MpegStatusCallback statusCallback = nullptr;
  void* statusUser = nullptr;
  CMpegPropertyTable properties;
  std::string contentType = "audio/mpeg";

  const MpegInputModule* inputModule = nullptr;
  int inputId = -1;
  void* inputInstance = nullptr;
  std::string inputName;
  bool inputOpen = false;
  int64_t inputPosition = 0;

  const MpegCodecModule* codecModule = nullptr;
  void* codecInstance = nullptr;

  const MpegOutputModule* outputModule = nullptr;
  int outputId = -1;
  void* outputInstance = nullptr;
  std::string outputName;
  bool outputOpen = false;

  MpegStatusBlock status;
  MpegOutputBlock output;
};

namespace {

int Fail(MpegDecoder* d, int code, const char* message, const char* detail) {
  MpegDecoderReportError(d, code, message, detail);
  return code;
}

int Internal(MpegDecoder* d, const char* detail) {
  return Fail(d, kMpegErrorWrongState, kMsgInternalError, detail);
}

int CheckVersion(uint32_t version) {
  return MpegModuleMajor(version) == MpegModuleMajor(kMpegModuleVersion) ? kMpegOk
                                                                         : kMpegErrorModuleVersion;
}

// Checks the required methods in the order of their messages.
int CheckMethods(MpegDecoder* d, std::initializer_list<std::pair<bool, const char*>> methods) {
  for (const auto& [present, message] : methods)
    if (!present) return Fail(d, kMpegErrorBadArgument, kMsgInternalError, message);
  return kMpegOk;
}

int Add(MpegDecoder* d, const RegisteredModule& m) {
  try {
    d->modules.push_back(m);
  } catch (const std::bad_alloc&) {
    return kMpegErrorOutOfMemory;
  }
  return static_cast<int>(d->modules.size()) - 1;
}

void DeleteCodec(MpegDecoder* d) {
  if (d->codecInstance) {
    if (d->codecModule->close) d->codecModule->close(d->codecInstance);
    if (d->codecModule->deleteInstance) d->codecModule->deleteInstance(d->codecInstance);
  }
  d->codecInstance = nullptr;
  d->codecModule = nullptr;
}

// The index of the module of that kind with the given id, or (id -1) the
// first whose probe accepts the name.
int FindModule(MpegDecoder* d, ModuleKind kind, const std::string& name, int id,
               const char* unknownMessage) {
  const int count = static_cast<int>(d->modules.size());
  if (id >= 0) return id < count && d->modules[id].kind == kind ? id : kMpegErrorNoSuchModule;
  for (int i = 0; i < count; ++i) {
    const RegisteredModule& m = d->modules[i];
    if (m.kind != kind) continue;
    int (*probe)(const char*) = kind == kInputKind ? m.input->probe : m.output->probe;
    if (probe(name.c_str()) > 0) return i;
  }
  return Fail(d, kMpegErrorUnknownName, unknownMessage, name.c_str());
}

void NotifyStatus(MpegDecoder* d) {
  if (d->statusCallback) d->statusCallback(d->statusUser, &d->status);
}

}  // namespace

int MpegDecoderCreate(MpegDecoder** decoder) {
  if (!decoder) return kMpegErrorBadArgument;
  *decoder = new (std::nothrow) MpegDecoder;
  return *decoder ? kMpegOk : kMpegErrorOutOfMemory;
}

int MpegDecoderDestroy(MpegDecoder** decoder) {
  if (!decoder || !*decoder) return kMpegErrorBadArgument;
  MpegDecoder* d = *decoder;
  if (d->inputInstance) MpegDecoderReleaseInput(d);
  if (d->outputInstance) MpegDecoderReleaseOutput(d);
  delete d;
  *decoder = nullptr;
  return kMpegOk;
}

void MpegDecoderSetErrorCallback(MpegDecoder* d, MpegErrorCallback callback, void* user) {
  if (!d) return;
  d->errorCallback = callback;
  d->errorUser = user;
}

void MpegDecoderSetStatusCallback(MpegDecoder* d, MpegStatusCallback callback, void* user) {
  if (!d) return;
  d->statusCallback = callback;
  d->statusUser = user;
}

void MpegDecoderReportError(MpegDecoder* d, int code, const char* message, const char* detail) {
  if (d && d->errorCallback)
    d->errorCallback(d->errorUser, code, message ? message : "", detail ? detail : "");
}

int MpegDecoderRegisterInput(MpegDecoder* d, const MpegInputModule* m) {
  if (!d || !m) return kMpegErrorBadArgument;
  if (int r = CheckVersion(m->version); r != kMpegOk) return r;
  if (int r = CheckMethods(d, {{m->newInstance != nullptr, kMsgNullNew},
                               {m->open != nullptr, kMsgNullOpen},
                               {m->close != nullptr, kMsgNullClose},
                               {m->read != nullptr, kMsgNullRead},
                               {m->probe != nullptr, kMsgNullProbe}});
      r != kMpegOk)
    return r;
  RegisteredModule rm{kInputKind};
  rm.input = m;
  return Add(d, rm);
}

int MpegDecoderRegisterCodec(MpegDecoder* d, const MpegCodecModule* m) {
  if (!d || !m) return kMpegErrorBadArgument;
  if (int r = CheckVersion(m->version); r != kMpegOk) return r;
  if (int r = CheckMethods(d, {{m->newInstance != nullptr, kMsgNullNew},
                               {m->open != nullptr, kMsgNullOpen},
                               {m->decode != nullptr, kMsgNullDecode},
                               {m->probe != nullptr, kMsgNullProbe},
                               {m->query != nullptr, kMsgNullQuery}});
      r != kMpegOk)
    return r;
  RegisteredModule rm{kCodecKind};
  rm.codec = m;
  return Add(d, rm);
}

int MpegDecoderRegisterOutput(MpegDecoder* d, const MpegOutputModule* m) {
  if (!d || !m) return kMpegErrorBadArgument;
  if (int r = CheckVersion(m->version); r != kMpegOk) return r;
  if (int r = CheckMethods(d, {{m->newInstance != nullptr, kMsgNullNew},
                               {m->open != nullptr, kMsgNullOpen},
                               {m->close != nullptr, kMsgNullClose},
                               {m->write != nullptr, kMsgNullWrite},
                               {m->probe != nullptr, kMsgNullProbe}});
      r != kMpegOk)
    return r;
  RegisteredModule rm{kOutputKind};
  rm.output = m;
  return Add(d, rm);
}

int MpegDecoderDescribeModule(MpegDecoder* d, int id, MpegModuleInfo* info) {
  if (!d || !info) return kMpegErrorBadArgument;
  if (id < 0 || id >= static_cast<int>(d->modules.size())) return kMpegErrorNoSuchModule;
  const RegisteredModule& m = d->modules[id];
  *info = MpegModuleInfo{};
  int (*describe)(MpegModuleInfo*) = m.kind == kInputKind   ? m.input->describe
                                     : m.kind == kCodecKind ? m.codec->describe
                                                            : m.output->describe;
  return describe ? describe(info) : kMpegErrorBadArgument;
}

int MpegDecoderSelectInput(MpegDecoder* d, const char* name, int id) {
  if (!d) return kMpegErrorBadArgument;
  std::string n = name ? name : "";
  if (d->inputInstance && n == d->inputName && (id < 0 || id == d->inputId)) return kMpegOk;
  int chosen = FindModule(d, kInputKind, n, id, kMsgUnknownModuleName);
  if (chosen < 0) return chosen;
  const MpegInputModule* module = d->modules[chosen].input;
  if (d->inputInstance) MpegDecoderReleaseInput(d);
  void* instance = nullptr;
  if (int r = module->newInstance(d, n.c_str(), &instance); r < 0) return r;
  if (!instance) return Internal(d, kMsgNullInputInstance);
  d->inputModule = module;
  d->inputId = chosen;
  d->inputInstance = instance;
  d->inputName = n;
  d->inputOpen = false;
  d->status = MpegStatusBlock{};
  d->status.state = kMpegInputSelected;
  return kMpegOk;
}

int MpegDecoderOpenInput(MpegDecoder* d) {
  if (!d) return kMpegErrorBadArgument;
  if (!d->inputModule) return Internal(d, kMsgNullInputModule);
  if (!d->inputInstance) return Internal(d, kMsgNullInputInstance);
  if (d->inputOpen) return Internal(d, kMsgInputNotClosed);
  if (int r = d->inputModule->open(d->inputInstance); r < 0) return r;
  d->inputOpen = true;
  d->inputPosition = 0;
  d->status = MpegStatusBlock{};
  d->status.size = MpegDecoderInputSize(d);
  d->status.position = 0;
  d->output = MpegOutputBlock{};

  DeleteCodec(d);
  const MpegCodecModule* codec = nullptr;
  for (const RegisteredModule& m : d->modules)
    if (m.kind == kCodecKind && m.codec->probe(d->contentType.c_str()) > 0) {
      codec = m.codec;
      break;
    }
  int r = kMpegErrorNoCodec;
  void* instance = nullptr;
  if (codec && (r = codec->newInstance(d, &instance)) >= 0 && instance) {
    d->codecModule = codec;
    d->codecInstance = instance;
    r = codec->open(instance);
  } else if (codec && r >= 0) {
    r = kMpegErrorOutOfMemory;
  }
  if (r < 0) {
    DeleteCodec(d);
    d->inputModule->close(d->inputInstance);
    d->inputOpen = false;
    d->status.state = kMpegInputSelected;
    return r;
  }
  d->status.state = kMpegInputOpen;
  d->status.changes = kMpegChangedState;
  NotifyStatus(d);
  d->status.changes = 0;
  return kMpegOk;
}

int MpegDecoderCloseInput(MpegDecoder* d) {
  if (!d) return kMpegErrorBadArgument;
  if (!d->inputInstance) return Internal(d, kMsgNullInputInstance);
  if (!d->inputOpen) return Internal(d, kMsgInputNotOpen);
  DeleteCodec(d);
  int r = d->inputModule->close(d->inputInstance);
  d->inputOpen = false;
  d->status.state = kMpegInputSelected;
  d->output = MpegOutputBlock{};
  return r < 0 ? r : kMpegOk;
}

int MpegDecoderReleaseInput(MpegDecoder* d) {
  if (!d) return kMpegErrorBadArgument;
  if (!d->inputInstance) return Internal(d, kMsgNullInputInstance);
  if (d->inputOpen) MpegDecoderCloseInput(d);
  if (d->inputModule->deleteInstance) d->inputModule->deleteInstance(d->inputInstance);
  d->inputInstance = nullptr;
  d->inputModule = nullptr;
  d->inputId = -1;
  d->inputName.clear();
  d->status = MpegStatusBlock{};
  return kMpegOk;
}

int64_t MpegDecoderSendInputMessage(MpegDecoder* d, int code, const void* data, int64_t size) {
  if (!d) return kMpegErrorBadArgument;
  if (!d->inputInstance) return Internal(d, kMsgNullInputInstance);
  if (!d->inputModule->sendMessage) return kMpegErrorBadArgument;
  return d->inputModule->sendMessage(d->inputInstance, code, data, size);
}

int MpegDecoderSelectOutput(MpegDecoder* d, const char* name, int id) {
  if (!d) return kMpegErrorBadArgument;
  std::string n = name ? name : "";
  if (d->outputInstance && n == d->outputName && (id < 0 || id == d->outputId)) return kMpegOk;
  int chosen = FindModule(d, kOutputKind, n, id, kMsgUnknownDeviceName);
  if (chosen < 0) return chosen;
  const MpegOutputModule* module = d->modules[chosen].output;
  if (d->outputInstance) MpegDecoderReleaseOutput(d);
  void* instance = nullptr;
  if (int r = module->newInstance(d, n.c_str(), &instance); r < 0) return r;
  if (!instance) return Internal(d, kMsgNullOutputInstance);
  d->outputModule = module;
  d->outputId = chosen;
  d->outputInstance = instance;
  d->outputName = n;
  d->outputOpen = false;
  return kMpegOk;
}

int MpegDecoderOpenOutput(MpegDecoder* d) {
  if (!d) return kMpegErrorBadArgument;
  if (!d->outputModule) return Internal(d, kMsgNullOutputModule);
  if (!d->outputInstance) return Internal(d, kMsgNullOutputInstance);
  if (d->outputOpen) return Internal(d, kMsgOutputNotClosed);
  int r = d->outputModule->open(d->outputInstance);
  if (r < 0) return r;
  d->outputOpen = true;
  return kMpegOk;
}

int MpegDecoderCloseOutput(MpegDecoder* d) {
  if (!d) return kMpegErrorBadArgument;
  if (!d->outputInstance) return Internal(d, kMsgNullOutputInstance);
  if (!d->outputOpen) return Internal(d, kMsgOutputNotOpen);
  d->outputOpen = false;
  int r = d->outputModule->close(d->outputInstance);
  return r < 0 ? r : kMpegOk;
}

int MpegDecoderReleaseOutput(MpegDecoder* d) {
  if (!d) return kMpegErrorBadArgument;
  if (!d->outputInstance) return Internal(d, kMsgNullOutputInstance);
  int r = kMpegOk;
  if (d->outputOpen) r = MpegDecoderCloseOutput(d);
  if (d->outputModule->deleteInstance) d->outputModule->deleteInstance(d->outputInstance);
  d->outputInstance = nullptr;
  d->outputModule = nullptr;
  d->outputId = -1;
  d->outputName.clear();
  return r;
}

int MpegDecoderSetContentType(MpegDecoder* d, const char* contentType) {
  if (!d || !contentType) return kMpegErrorBadArgument;
  d->contentType = contentType;
  return kMpegOk;
}

int MpegDecoderDecodeFrame(MpegDecoder* d) {
  if (!d) return kMpegErrorBadArgument;
  if (!d->inputOpen || !d->codecInstance) return Internal(d, kMsgInputNotOpen);
  d->status.changes = 0;
  int r = d->codecModule->decode(d->codecInstance, &d->output, &d->status);
  if (r < 0) {
    d->output.sampleCount = 0;
    return r;
  }
  if (d->status.changes) NotifyStatus(d);
  if (d->outputOpen && d->output.sampleCount > 0)
    if (int w = d->outputModule->write(d->outputInstance, &d->output); w < 0) return w;
  return kMpegOk;
}

const MpegOutputBlock* MpegDecoderOutput(const MpegDecoder* d) { return d ? &d->output : nullptr; }
const MpegStatusBlock* MpegDecoderStatus(const MpegDecoder* d) { return d ? &d->status : nullptr; }

int MpegDecoderSetPropertyInteger(MpegDecoder* d, const char* name, int64_t value) {
  if (!d || !name) return kMpegErrorBadArgument;
  d->properties.SetInteger(name, value);
  return kMpegOk;
}

int MpegDecoderSetPropertyString(MpegDecoder* d, const char* name, const char* value) {
  if (!d || !name || !value) return kMpegErrorBadArgument;
  d->properties.SetString(name, value);
  return kMpegOk;
}

int MpegDecoderGetPropertyInteger(const MpegDecoder* d, const char* name, int64_t* value) {
  if (!d || !name) return kMpegErrorBadArgument;
  return d->properties.GetInteger(name, value);
}

int MpegDecoderGetPropertyString(const MpegDecoder* d, const char* name, const char** value) {
  if (!d || !name) return kMpegErrorBadArgument;
  return d->properties.GetString(name, value);
}

int64_t MpegDecoderInputRead(MpegDecoder* d, void* buffer, int64_t size) {
  if (!d || (!buffer && size > 0) || size < 0) return kMpegErrorBadArgument;
  if (!d->inputOpen) return Internal(d, kMsgInputNotOpen);
  int64_t r = d->inputModule->read(d->inputInstance, buffer, size);
  if (r > 0) d->inputPosition += r;
  return r;
}

int MpegDecoderInputSeek(MpegDecoder* d, int64_t offset) {
  if (!d || offset < 0) return kMpegErrorBadArgument;
  if (!d->inputOpen) return Internal(d, kMsgInputNotOpen);
  if (!d->inputModule->seek) return kMpegErrorBadArgument;
  int r = d->inputModule->seek(d->inputInstance, offset);
  if (r >= 0) d->inputPosition = offset;
  return r;
}

int MpegDecoderInputSeekable(MpegDecoder* d) {
  if (!d || !d->inputInstance || !d->inputModule->seekable || !d->inputModule->seek) return 0;
  return d->inputModule->seekable(d->inputInstance) > 0 ? 1 : 0;
}

int64_t MpegDecoderInputSize(MpegDecoder* d) {
  if (!d || !d->inputInstance || !d->inputModule->size) return 0;
  int64_t s = d->inputModule->size(d->inputInstance);
  return s > 0 ? s : 0;
}

int64_t MpegDecoderInputPosition(MpegDecoder* d) { return d ? d->inputPosition : 0; }

}  // namespace mpegaudio
