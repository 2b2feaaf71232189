// The base of the engine's effects: an operation on blocks of samples. The
// base does nothing; the filters below override what they change. Effects
// keep their state (a filter's history) between blocks until Flush.
#pragma once

#include <cstdint>

struct _bufferType;

enum TEffectType : int32_t { EFFECT_PLAIN = 0, EFFECT_LOW_PASS = 3, EFFECT_FILTER = 6 };

class CEffect {
 public:
  CEffect();
  CEffect(const CEffect&) = default;
  CEffect& operator=(const CEffect&) = default;
  virtual ~CEffect();

  // A new effect of the same kind and state; null when memory runs out.
  virtual CEffect* Copy();
  virtual int Work(_bufferType* in, _bufferType* out, int flags);
  // Forgets the state carried over from earlier blocks.
  virtual void Flush();
  // How the effect changes a length or a sample count: not at all.
  virtual long LengthChange(long length);
  virtual long NumSamplesChanged(long samples);

  TEffectType Type() const { return type_; }

 protected:
  explicit CEffect(TEffectType type);

 private:
  TEffectType type_;
};
