#include "engine/registry/module_source.h"

const char* RegistrationName(IMediaModule* module) {
  const void* registration = module ? module->GetRegistration() : nullptr;
  return registration ? static_cast<const char*>(registration) : "";
}
