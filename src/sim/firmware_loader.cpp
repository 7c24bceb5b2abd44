#include "sim/firmware_loader.h"
