#include "SetAside.h"
