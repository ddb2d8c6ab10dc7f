// KIniReader: a whole INI file held in memory, answering [section] name=value
// look-ups with the engine's exact matching rules. Safe on any file content.
#pragma once

class KIniReader {
public:
  KIniReader();
  ~KIniReader();
  KIniReader(const KIniReader &) = delete;
  KIniReader &operator=(const KIniReader &) = delete;

  bool setIni(const char *iniFile);
  long getValue(const char *section, const char *variable, long defaultValue);
  bool getString(const char *section, const char *variable, char *buffer, long bufferlen);

  char iniFilename[261];
  char *memIni = nullptr;
  long memIniLen = 0;
};
