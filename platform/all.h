// The seam's families, listed once. Each family is one header with its call table
// (platform/<family>.h), one simulated class (platform/sim/<family>.*) and one line below; the
// host's backend set, its forwards and the simulated machine's backends are all made from this list.
#pragma once

#include "platform/com_wia.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/setupapi.h"
#include "platform/sync.h"
#include "platform/system.h"
#include "platform/window.h"

// X(Family, accessor, call table): `Family` names the backend class (FamilyBackend) and the
// simulated class (SimFamily); `accessor` names the member of the backend set and the simulated
// machine's accessor.
#define TVX_FAMILIES(X)                          \
    X(Registry, registry, TVX_REGISTRY_CALLS)    \
    X(SetupApi, setupapi, TVX_SETUPAPI_CALLS)    \
    X(Files, files, TVX_FILES_CALLS)             \
    X(System, system, TVX_SYSTEM_CALLS)          \
    X(Services, services, TVX_SERVICES_CALLS)    \
    X(Ini, ini, TVX_INI_CALLS)                   \
    X(Process, process, TVX_PROCESS_CALLS)       \
    X(Sync, sync, TVX_SYNC_CALLS)                \
    X(Window, window, TVX_WINDOW_CALLS)          \
    X(ComWia, com_wia, TVX_COM_WIA_CALLS)
