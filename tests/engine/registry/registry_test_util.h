// Helpers shared by the registry and plug-in tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/registry/module_registry.h"

// A fresh, empty folder under the build tree.
std::string FreshTestFolder(const std::string& name);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> Bytes(const std::string& text);

// Loads vfcc.dat and muxer.dat from the staged program folder (once).
void LoadStagedCodecTables();

// A reader module that does nothing; counts live instances.
IMediaModule* CreateFakeReader(CParamList* params);
int LiveFakeReaders();

// Points every reader entry at CreateFakeReader so that choices show.
void UseFakeReaders(CReaderList& readers);

// Tag of the entry a module was created from ("" for none); releases it.
std::string TagAndRelease(IMediaModule* module);
