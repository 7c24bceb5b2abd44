#include "firmware/firmware_summary_dialog.h"
