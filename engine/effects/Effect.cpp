#include "engine/effects/Effect.h"

#include <new>

CEffect::CEffect() : CEffect(EFFECT_PLAIN) {}
CEffect::CEffect(TEffectType type) : type_(type) {}
CEffect::~CEffect() = default;

CEffect* CEffect::Copy() { return new (std::nothrow) CEffect(*this); }
int CEffect::Work(_bufferType*, _bufferType*, int) { return 1; }
void CEffect::Flush() {}
long CEffect::LengthChange(long length) { return length; }
long CEffect::NumSamplesChanged(long samples) { return samples; }
