// Compiled against vantrel_ui alone by the layering test.
#include "receive/MessageStore.h"
