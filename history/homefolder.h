#pragma once

// The user's home folder when HOME is not set (a service, a job of cron, `env -i`): Qt would then name
// every folder of the user, the history's and the settings', under "/".
namespace HomeFolder {

// Puts the account's own home folder in HOME when it is unset, before any folder is asked for; false
// when none is known (the account has none, or it is "/").
bool FillIn();

} // namespace HomeFolder
