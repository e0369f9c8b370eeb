#pragma once

#include "platform/SystemCommands.h"
#include "profiles/CommProfile.h"
#include "status/TransferState.h"

#include <QString>

#include <optional>

namespace tornyx {

// The completion mail of a run, or nothing when the profile does not ask
// for one ("Mail_Flg" "Y", an address with "@"), the run was a receive, or
// it ended before any data was sent. endStamp: the current date and time in
// the log's format.
std::optional<platform::MailMessage> completionMail(const TransferState& state, const SettingGroup& setting,
                                                    const QString& endStamp);

} // namespace tornyx
