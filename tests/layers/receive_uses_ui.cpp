// Compiled against vantrel_receive alone by the layering test.
#include "ui/DialogBuilder.h"
