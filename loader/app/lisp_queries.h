#pragma once
// The AutoLISP functions the module loader defines in every drawing. Each reads one per-user
// DWORD below the product key's "Base" subkey afresh on every call (no caching, so a change
// made with the registry tool shows at once), sets it as the AutoLISP result and returns
// RSRSLT. A missing key or value answers 1; the call never fails.
namespace qm {

int CheckCommandlineSetting();
int CheckInsUnitsDefSourceSetting();

}  // namespace qm
