// Compiled against vantrel_settings alone by the layering test.
#include "transport/Messenger.h"
