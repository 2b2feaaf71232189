#include "converter/options/OptionsSession.h"

#include <cstring>

#include "converter/options/Mp3Page.h"
#include "converter/options/WavePage.h"
#include "converter/options/WmaPage.h"
#include "converter/prefs/Preferences.h"

COptionsSession::COptionsSession(CPreferences& preferences, IPrompter& prompter)
    : prefs_(preferences), prompter_(prompter), general_(preferences, prompter) {
  for (int type = 0; type < 3; ++type) working_[type] = prefs_.Format(type);
  for (bool& changed : prefs_.changedFormat) changed = false;
  prefs_.changedNormalizeTrim = false;
  wave_ = std::make_unique<CWavePage>(*this);
  mp3_.reset(CMp3Page::Make(*this));
  wma_ = std::make_unique<CWmaPage>(*this);
  SetCommit(kPageWave, [this] { return wave_->Commit(); });
  if (mp3_) SetCommit(kPageMp3, [this] { return mp3_->Commit(); });
  SetCommit(kPageWma, [this] { return wma_->Commit(); });
}

COptionsSession::~COptionsSession() = default;

int COptionsSession::StartPage() const {
  uint32_t page = prefs_.lastConversionOptionPage;
  return page <= kPageGeneral ? static_cast<int>(page) : kPageGeneral;
}

void COptionsSession::Visit(int page) {
  visited_.insert(page);
  prefs_.lastConversionOptionPage = static_cast<uint32_t>(page);
}

void COptionsSession::CommitFormat(int type) {
  CConv2FileFormat& stored = prefs_.Format(type);
  if (std::memcmp(&stored, &working_[type], sizeof stored) == 0) return;
  stored = working_[type];
  prefs_.changedFormat[type] = true;
}

bool COptionsSession::Ok() {
  // Pages the user never opened keep the stored values as they are.
  if (Visited(kPageGeneral) && !general_.Commit()) return false;
  for (int type = 0; type < 3; ++type) {
    if (!Visited(type)) continue;
    if (commits_[type]) {
      if (!commits_[type]()) return false;
    } else {
      CommitFormat(type);
    }
  }
  return true;
}
