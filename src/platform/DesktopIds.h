#pragma once
// Names under which Tetrav is known to the desktop: its application id (the desktop entry,
// the icon, the AppStream metainfo, the bus name a second copy hands its files to) and its
// MPRIS bus name.
namespace DesktopIds {
inline constexpr const char kAppId[] = "org.tetrav.Tetrav";
inline constexpr const char kAppPath[] = "/org/tetrav/Tetrav";
inline constexpr const char kMprisName[] = "org.mpris.MediaPlayer2.tetrav";
inline constexpr const char kMprisPath[] = "/org/mpris/MediaPlayer2";
} // namespace DesktopIds
