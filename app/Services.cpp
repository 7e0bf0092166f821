#include "app/Services.h"

// Apart from every scene: the scene drawing and input services reach the seams too, and must not
// depend on the title menu for them.
APPSERVICES g_Services;
