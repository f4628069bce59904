#pragma once

#include <QLatin1StringView>

// Every key of the settings store. The names are stored on disk: never rename one.
namespace PreferenceKeys {
inline constexpr QLatin1StringView speedT{"SpeedT"};
inline constexpr QLatin1StringView fontSize{"FontSize"};
inline constexpr QLatin1StringView lineHeightMultiple{"LineHeightMultiple"};
inline constexpr QLatin1StringView voiceFollowEnabled{"VoiceFollowEnabled"};
inline constexpr QLatin1StringView voiceFollowLocale{"VoiceFollowLocale"};
inline constexpr QLatin1StringView voiceFollowLookahead{"VoiceFollowLookahead"};
inline constexpr QLatin1StringView voiceFollowMicrophone{"VoiceFollowMicrophone"};
inline constexpr QLatin1StringView paceGuideEnabled{"PaceGuideEnabled"};
inline constexpr QLatin1StringView pacePauseStyle{"PacePauseStyle"};
inline constexpr QLatin1StringView paceRhythmVoice{"PaceRhythmVoice"};
inline constexpr QLatin1StringView countdownEnabled{"CountdownEnabled"};
inline constexpr QLatin1StringView keepScreenAwake{"KeepScreenAwake"};
inline constexpr QLatin1StringView bracketsAreCues{"BracketsAreCues"};
inline constexpr QLatin1StringView notchCoverHeight{"NotchCoverHeight"};
inline constexpr QLatin1StringView islandWidth{"IslandWidth"};
inline constexpr QLatin1StringView targetDisplay{"TargetDisplay"};
inline constexpr QLatin1StringView aboveFullScreen{"AboveFullScreen"};
inline constexpr QLatin1StringView showInTaskbar{"ShowDockIcon"}; // an older name, kept on disk
inline constexpr QLatin1StringView islandPlacement{"IslandPlacement"};
inline constexpr QLatin1StringView islandFreeX{"IslandFreeX"};
inline constexpr QLatin1StringView islandFreeY{"IslandFreeY"};
inline constexpr QLatin1StringView hotKeyBindings{"HotKeyBindings"};
inline constexpr QLatin1StringView librarySort{"LibrarySort"};
inline constexpr QLatin1StringView accountEmail{"AccountEmail"};
// Where the windows were left, and questions asked once.
inline constexpr QLatin1StringView controlDeckPosition{"OrvellControlDeck"};
inline constexpr QLatin1StringView libraryWindowGeometry{"OrvellLibraryWindow3"};
inline constexpr QLatin1StringView gnomeShortcutsOffered{"GnomeShortcutsOffered"};
inline constexpr QLatin1StringView welcomed{"Welcomed"};
inline constexpr QLatin1StringView firstPlayDone{"FirstPlayDone"};
} // namespace PreferenceKeys
