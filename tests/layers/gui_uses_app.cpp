// Compiled against vantrel_gui alone by the layering test.
#include "app/qt/MessengerApp.h"
