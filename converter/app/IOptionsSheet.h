// The Options sheet, shown modally.
#pragma once

class IOptionsSheet {
 public:
  virtual ~IOptionsSheet() = default;
  // 1 when the sheet was shown.
  virtual int ShowOptions() = 0;
};
