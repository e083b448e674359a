// Module handles and string-table resources.
#pragma once

#include "platform/posix/win32_base.h"
