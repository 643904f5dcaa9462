// Process-wide state of the application: the [OPTION] block of "setting.ini"
// in the per-user settings folder, the output folder of [CONFIG], the global
// default task and a file-size helper.
#pragma once

#include <cstdint>
#include <string>

class CTask;

// The [OPTION] keys; zeros until loaded.
struct OptionSettings {
  int32_t mode = 0;       // MODE, default 4: 1/3 prefer/only DirectShow decoders, 2/4 prefer/only internal
  int32_t presec = 0;     // PRESEC, default 20: preview picture time in seconds
  int32_t preframe = 0;   // PREFRAME, default 2: preview picture frame number
  int32_t overwrite = 0;  // OVERWRITE, default 0: 0 renames a taken output name, 1 overwrites
};

// "<per-user settings folder>/setting.ini".
std::string SettingsFilePath();

// Reads [OPTION] from the per-user settings file (or the given one); missing
// keys take their defaults, a value that is not a number reads as 0.
void LoadOptionSettings();
void LoadOptionSettingsFrom(const std::string& iniPath);
// Read and written in place by callers.
OptionSettings* GetOptionSettings();

// [CONFIG] CONVERTOUTPATH, at most 250 bytes; the default output folder when
// it is empty, missing or longer.
std::string ReadConvertOutPath();
bool WriteConvertOutPath(const std::string& path);

// The working copy the settings dialogs edit.
CTask& GetDefaultTask();
// Copies a task's settings into the default task.
void SetDefaultTaskFrom(const CTask& task);

// The size of a file; -1 when it cannot be opened or is not a regular file.
int64_t GetFileSize64(const std::string& path);
