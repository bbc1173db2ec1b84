#include "io/filters.h"

// Placeholder until the filter lists exist.
namespace korvel {
void LoadFilterLists() {}
void AddStartupFilterValue() {}
bool WriteDefaultFilterFile(const QString&) { return true; }
}  // namespace korvel
