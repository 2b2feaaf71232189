// The parts of the converter that the entry reaches through interfaces.
#pragma once

#include "converter/app/IConversionRun.h"
#include "converter/app/IEngineServices.h"
#include "converter/app/IOptionsSheet.h"
#include "converter/app/IPreferences.h"
#include "converter/app/IPrompts.h"
#include "converter/app/IShellIntegration.h"

struct TAppServices {
  IEngineServices* engine = nullptr;
  IPreferences* preferences = nullptr;
  IShellIntegration* shell = nullptr;
  IPrompts* prompts = nullptr;
  IConversionRun* run = nullptr;
  IOptionsSheet* options = nullptr;
};
