// Compiled against vantrel_transport alone by the layering test.
#include "settings/Profile.h"
