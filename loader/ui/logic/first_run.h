#pragma once
// The once-per-user welcome of the module loader command: whether this user has run it before,
// remembered as the value "StartupMessageDone" in the user's module settings key.

namespace qm::ui {

// Opens (creating) the module settings key; a user is first-time exactly when the value is
// missing. Marks the user (value 1) whenever the key opens. A key that does not open counts as
// not first-time and nothing is written.
bool TestAndMarkFirstRun();

}  // namespace qm::ui
