// Every family of the seam, for code that uses several of them.
#pragma once

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/setupapi.h"
#include "platform/system.h"
