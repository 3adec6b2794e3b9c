// The TWAIN data source of a scanner instance. Portable logic.
#include "core/setup_extension.h"

// Not yet built: deleting the instance's data-source folder below TWAIN_32. Always answers 1.
int CSetupExtension::RemoveTwainDataSource(const char*) { return 1; }
