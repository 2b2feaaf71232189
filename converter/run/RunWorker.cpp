#include "converter/run/RunWorker.h"

#include "engine/core/PCMMixer.h"
#include "engine/core/SoundGroup.h"

TRunWorker::TRunWorker(CConversionRun* owner) : run(owner) {}

// The mixer (declared after the group) goes first.
TRunWorker::~TRunWorker() = default;
