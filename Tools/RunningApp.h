#pragma once

#include <QString>
#include <QVariantList>

#include <optional>

// The Orvell running on this session, reached over the session bus.
namespace RunningApp {
// Whether Orvell owns its name on this session's bus.
bool isRunning();
// The reply's values, or nothing with the reason in `why`.
std::optional<QVariantList> call(const QString &method, const QVariantList &args, int timeoutMs,
                                 QString *why);
inline QString notRunningMessage() { return QStringLiteral("Orvell is not running."); }
} // namespace RunningApp
