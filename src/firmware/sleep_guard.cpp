#include "firmware/sleep_guard.h"
