// The install marker: the key below HKEY_LOCAL_MACHINE, in the 32-bit view, in which an install
// marks the Plug and Play part as finished for its model, and which a removal takes back. Its path
// and value names are written here only. Portable logic.
#pragma once

// The marker key: a value "_PnPFinishedEvent" and one value per model (named by its model tag).
inline constexpr const char* kInstallMarkerKey = "Software\\Tarvix\\tvx\\c32\\tvx";
// The key the marker keys hang from: shared with the maker's other products, it is never removed.
inline constexpr const char* kInstallMarkerBase = "Software\\Tarvix";
inline constexpr const char* kPnPFinishedValueName = "_PnPFinishedEvent";
// The named event that tells the installed software that the Plug and Play part has finished; its
// name is also a value of the marker key's parent.
inline constexpr const char* kFinishedEventName = "tvx_PNPFinishedEvent_99";
