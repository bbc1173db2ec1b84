#include "app/settings.h"

// Placeholder until the settings file exists.
namespace korvel {
void ReadSettings() {}
}  // namespace korvel
