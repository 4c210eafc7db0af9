// Compiled against vantrel_receive alone by the layering test.
#include "transport/MessageRecord.h"
