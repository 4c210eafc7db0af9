// Compiled against vantrel_platform alone by the layering test.
#include "platform/linux/SqliteRegistry.h"
