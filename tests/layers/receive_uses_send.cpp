// Compiled against vantrel_receive alone by the layering test.
#include "send/MessageSender.h"
